#include "dll_search.h"

void RestrictDllSearch(SystemServices& system) {
  (void)system.SetDefaultDllDirectoryFlags(kDllSearchSystemFolderOnly);
  (void)system.SetSearchPathModeFlags(kSafeSearchModeForGood);
  (void)system.SetDllSearchDirectory(kNoDllDirectory);
}
