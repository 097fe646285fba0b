// The executable's entry. Before anything else runs, even the application
// object, the DLL search is narrowed (see RunBootstrapProcess); the services
// hold nothing but the module handle until then. The command line is not
// read.
#include <windows.h>

#include "bootstrap_sequence.h"
#include "win32_system_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Win32SystemServices system(instance);
  return RunBootstrapProcess(system);
}
