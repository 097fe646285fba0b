#include "staging_folder.h"

#include <algorithm>

#include "bootstrap_messages.h"
#include "message_format.h"
#include "path_rules.h"

std::string StagingFolder;

std::string GetTempDirectory(SystemServices& system) {
  char buffer[kTempPathBufferSize] = {};
  const std::uint32_t count = system.QueryTempPath(kTempPathCapacity, buffer);
  if (count == 0) throw ETempDirectoryError(kNoTempDirectoryMessage);
  if (count > kTempPathCapacity) {
    throw ETempDirectoryError(FillFormat(kTempDirectoryTooLongFormat,
                                         {FormatArg::Number(count), FormatArg::Number(kTempPathCapacity)}));
  }
  return std::string(buffer, std::find(buffer, buffer + kTempPathCapacity, '\0'));
}

bool FolderExists(SystemServices& system, const std::string& path) {
  const std::uint32_t attributes = system.QueryFileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

void CreateFolderChain(SystemServices& system, const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() == kBackslash) path.pop_back();
  if (path.size() < kShortestCreatableFolder) return;
  if (FolderExists(system, path)) return;
  // A path ending in a colon is its own parent; walking up stops there.
  const std::string parent = ParentFolderOf(path);
  if (parent.size() < path.size()) CreateFolderChain(system, parent);
  (void)system.MakeDirectory(path);
}

std::string StagedPath(const std::string& fileName) { return WithTrailingBackslash(StagingFolder) + fileName; }
