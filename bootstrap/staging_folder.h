#pragma once
// The staging folder: one folder under the user's temporary directory that
// receives every file the bootstrap writes. Its name holds nothing that
// changes between runs, so every run by the same user uses the same folder;
// staging_protection.h says how a run makes it its own before writing.

#include <cstdint>
#include <string>

#include "exception.h"
#include "system_services.h"

// The temporary directory could not be obtained, or its path does not fit.
DECLARE_EXCEPTION_CLASS(ETempDirectoryError, Exception);

// The application title; the same name ends the staging folder's name.
inline constexpr char kApplicationTitle[] = "Setup_Fennimor";
// What stands between the temporary directory and the title in the name.
inline constexpr char kStagingFolderPrefix[] = "Inst-";

// Room given to the temporary-path query, and the buffer behind it: one byte
// more than the query may fill, so the buffer always ends in a zero byte.
inline constexpr std::uint32_t kTempPathCapacity = 255;
inline constexpr std::uint32_t kTempPathBufferSize = 256;

// Paths shorter than this (an empty path, a drive such as C:, a lone
// backslash) are never created by CreateFolderChain.
inline constexpr std::size_t kShortestCreatableFolder = 3;

// The staging folder: temporary directory, "Inst-", "Setup_Fennimor"; set
// once by the bootstrap sequence, never ends in a backslash.
extern std::string StagingFolder;

// The temporary directory, ending in a backslash, from one GetTempPathA with
// a capacity of 255. Raises ETempDirectoryError when the query fails or says
// the path needs more room: the buffer then holds no path.
std::string GetTempDirectory(SystemServices& system);

// True if the path names an existing folder (not a file).
bool FolderExists(SystemServices& system, const std::string& path);

// Creates the folder and every missing folder above it, outermost first.
// Existing folders are left alone; a level that cannot be created is passed
// over in silence, since the first file written into the folder reports it.
void CreateFolderChain(SystemServices& system, const std::string& folder);

// The full path of a file in the staging folder, formed afresh from
// StagingFolder: StagingFolder, one backslash, the file name.
std::string StagedPath(const std::string& fileName);
