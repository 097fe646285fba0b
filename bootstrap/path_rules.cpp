#include "path_rules.h"

std::string WithTrailingBackslash(const std::string& path) {
  if (path.empty() || path.back() == kBackslash) return path;
  return path + kBackslash;
}

std::string ParentFolderOf(const std::string& path) {
  const std::size_t last = path.find_last_of({kBackslash, kDriveColon});
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
