// The executable's entry. The fault report goes in first, then the
// application object; the run is the bootstrap sequence, and whatever escapes
// it is shown in the failure report while the application still stands. The
// command line is not read.
#include <windows.h>

#include "bootstrap_sequence.h"
#include "win32_application.h"
#include "win32_exception_report.h"
#include "win32_system_services.h"

namespace {

int RunApplicationObject(HINSTANCE instance) {
  TApplication application(instance);
  Win32SystemServices system(application);
  try {
    RunBootstrap(system);
  } catch (...) {
    ReportCurrentException();
    return kExitCodeAfterReport;
  }
  return kExitCodeNormal;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InstallProcessorFaultReport();
  try {
    return RunApplicationObject(instance);
  } catch (...) {
    // The application object itself could not be set up.
    ReportCurrentException();
    return kExitCodeAfterReport;
  }
}
