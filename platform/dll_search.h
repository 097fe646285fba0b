#pragma once
// Where the process may load DLLs from. The bootstrap runs with
// administrator rights, often out of a downloads folder that holds whatever
// else was downloaded: a DLL there, or in the current folder, must never be
// loaded in place of the system's own. The entry narrows the search before
// anything else runs, before the application object can pull in a DLL.

#include <cstdint>

#include "system_services.h"

// LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder and nothing else.
inline constexpr std::uint32_t kDllSearchSystemFolderOnly = 0x800u;
// BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT: the
// current folder comes after the system's folders in SearchPath, for good.
inline constexpr std::uint32_t kSafeSearchModeForGood = 0x1u | 0x8000u;
// Given to SetDllDirectoryA: takes the current folder out of the search.
inline constexpr char kNoDllDirectory[] = "";

// Limits the DLL search to the system folder where the system can do that,
// makes SearchPath look at the current folder last, and drops the current
// folder from the DLL search. Each step is taken whether the one before it
// worked or not: a system without SetDefaultDllDirectories still gets the
// other two.
void RestrictDllSearch(SystemServices& system);
