#include "staging_protection.h"

#include <utility>

#include "bootstrap_messages.h"
#include "message_format.h"
#include "path_rules.h"
#include "staging_folder.h"
#include "stream_errors.h"

namespace {

bool HasAttribute(std::uint32_t attributes, std::uint32_t bit) {
  return attributes != kInvalidFileAttributes && (attributes & bit) != 0;
}

EStagingFolderLink LinkedFolderError(const std::string& folder) {
  return EStagingFolderLink(FillFormat(kStagingFolderLinkFormat, {folder}));
}

EStagingFolderError FolderError(const char* format, const std::string& path) {
  return EStagingFolderError(FillFormat(format, {path}));
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsKept(const std::string& name, const std::vector<std::string>& keptNames) {
  for (const std::string& kept : keptNames) {
    if (SameFileName(name, kept)) return true;
  }
  return false;
}

std::vector<FolderEntry> EntriesOf(SystemServices& system, const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (!system.ListFolder(folder, entries)) throw FolderError(kFolderUnreadableFormat, folder);
  return entries;
}

// Removes the entry and, for a real folder, everything in it first. A link
// is removed as a link: what it points to is never looked into.
void RemoveTree(SystemServices& system, const std::string& path, std::uint32_t attributes) {
  if (HasAttribute(attributes, kFileAttributeDirectory) && !HasAttribute(attributes, kFileAttributeReparsePoint)) {
    for (const FolderEntry& entry : EntriesOf(system, path)) {
      RemoveTree(system, WithTrailingBackslash(path) + entry.name, entry.attributes);
    }
  }
  if (!system.RemoveEntry(path)) throw FolderError(kForeignEntryStaysFormat, path);
}

std::string UserSid(SystemServices& system) {
  std::string sid = system.CurrentUserSid();
  if (sid.empty()) throw EStagingFolderError(kNoUserSidMessage);
  return sid;
}

}  // namespace

std::string StagingFolderSddl(const std::string& userSid) {
  return std::string("D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;") + kUserFolderRights + ";;;" + userSid +
         ")(A;OICI;" + kUserFolderRights + ";;;OW)";
}

bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

StagingFolderHold::StagingFolderHold(SystemServices& system) : system_(&system), handle_(kInvalidFileRef) {}

StagingFolderHold::StagingFolderHold(SystemServices& system, const std::string& folder)
    : system_(&system), handle_(system.OpenFolderInPlace(folder)) {}

StagingFolderHold::~StagingFolderHold() {
  if (IsOpen()) system_->CloseFile(handle_);
}

StagingFolderHold::StagingFolderHold(StagingFolderHold&& other) noexcept
    : system_(other.system_), handle_(std::exchange(other.handle_, kInvalidFileRef)), ready_(other.ready_) {}

StagingFolderHold TakeStagingFolder(SystemServices& system, const std::string& folder,
                                    const std::vector<std::string>& keptNames) {
  const std::uint32_t attributes = system.QueryFileAttributes(folder);
  if (HasAttribute(attributes, kFileAttributeReparsePoint)) throw LinkedFolderError(folder);
  // A file of that name: there is no folder to write into.
  if (attributes != kInvalidFileAttributes && !HasAttribute(attributes, kFileAttributeDirectory)) {
    return StagingFolderHold(system);
  }

  const std::string sddl = StagingFolderSddl(UserSid(system));
  if (attributes == kInvalidFileAttributes) {
    CreateFolderChain(system, ParentFolderOf(folder));
    (void)system.MakeDirectoryWithSecurity(folder, sddl);
  }

  StagingFolderHold hold(system, folder);
  if (!hold.IsOpen()) {
    // A folder that is there but cannot be held is not ours to write into;
    // one that could not be created is reported by the first file.
    if (attributes != kInvalidFileAttributes) throw FolderError(kFolderUnexaminedFormat, folder);
    return hold;
  }
  const std::uint32_t held = system.QueryOpenEntryAttributes(hold.Handle());
  if (held == kInvalidFileAttributes) throw FolderError(kFolderUnexaminedFormat, folder);
  if (HasAttribute(held, kFileAttributeReparsePoint)) throw LinkedFolderError(folder);
  if (!HasAttribute(held, kFileAttributeDirectory)) return hold;

  if (!system.ProtectOpenFolder(hold.Handle(), sddl)) throw FolderError(kFolderSecurityFormat, folder);
  for (const FolderEntry& entry : EntriesOf(system, folder)) {
    if (!IsKept(entry.name, keptNames)) RemoveTree(system, WithTrailingBackslash(folder) + entry.name, entry.attributes);
  }
  hold.MarkReady();
  return hold;
}

void ClearPathForNewFile(SystemServices& system, const std::string& path) {
  if (system.QueryFileAttributes(path) == kInvalidFileAttributes) return;
  if (!system.RemoveEntry(path)) throw FileCreateError(path);
}
