#include "fake_system_services.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#include "exception.h"
#include "file_expander.h"
#include "file_io.h"
#include "path_rules.h"
#include "system_services.h"

namespace {

constexpr std::uint32_t kFileAttributeArchive = 0x20;

// The expander's file layer has no context argument; it reaches the one fake
// that is alive through this pointer.
FakeSystemServices* g_activeFake = nullptr;

FileHandle ExpanderOpenExisting(const std::string& path) { return g_activeFake->OpenForExpander(path, false); }
FileHandle ExpanderCreateAlways(const std::string& path) { return g_activeFake->OpenForExpander(path, true); }
int32_t ExpanderRead(FileHandle handle, void* buffer, int32_t count) {
  return g_activeFake->ReadForExpander(handle, buffer, count);
}
int32_t ExpanderWrite(FileHandle handle, const void* buffer, int32_t count) {
  return g_activeFake->WriteForExpander(handle, buffer, count);
}
void ExpanderFlush(FileHandle) {}
void ExpanderClose(FileHandle handle) { g_activeFake->CloseForExpander(handle); }
void ExpanderDelete(const std::string& path) { g_activeFake->DeleteForExpander(path); }

const FileOps kFakeExpanderFiles = {ExpanderOpenExisting, ExpanderCreateAlways, ExpanderRead, ExpanderWrite,
                                    ExpanderFlush,        ExpanderClose,        ExpanderDelete};

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == kBackslash) path.pop_back();
  return path;
}

std::string Hex(std::uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "0x" + text;
}

// Links lead on to other links at most this often, as the system gives up
// on a loop too.
constexpr int kMostLinkHops = 8;

}  // namespace

void PrintTo(const FakeCall& call, std::ostream* out) {
  *out << call.name << "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) *out << (i ? ", " : "") << call.args[i];
  *out << ")";
}

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return text;
}

FakeSystemServices::FakeSystemServices() {
  g_activeFake = this;
  SetFileOpsForTesting(&kFakeExpanderFiles);
}

FakeSystemServices::~FakeSystemServices() {
  SetFileOpsForTesting(nullptr);
  g_activeFake = nullptr;
}

std::vector<FakeCall> FakeSystemServices::CallsNamed(const std::string& name) const {
  std::vector<FakeCall> named;
  for (const FakeCall& call : calls) {
    if (call.name == name) named.push_back(call);
  }
  return named;
}

std::vector<std::string> FakeSystemServices::CallNames() const {
  std::vector<std::string> names;
  for (const FakeCall& call : calls) names.push_back(call.name);
  return names;
}

const void* FakeSystemServices::ResourceMemory(const std::string& name) const {
  return resources.at(UpperCase(name)).data();
}

void FakeSystemServices::Record(std::string name, std::vector<std::string> args) {
  calls.push_back({std::move(name), std::move(args)});
}

std::string FakeSystemServices::Resolve(const std::string& path, bool followLast) const {
  const std::string whole = WithoutTrailingBackslash(path);
  std::string resolved;
  std::size_t start = 0;
  while (start <= whole.size()) {
    const std::size_t end = std::min(whole.find(kBackslash, start), whole.size());
    resolved += (start == 0 ? "" : "\\") + whole.substr(start, end - start);
    const bool last = end == whole.size();
    for (int hop = 0; (!last || followLast) && hop < kMostLinkHops; ++hop) {
      const auto link = links.find(resolved);
      if (link == links.end()) break;
      resolved = link->second.target;
    }
    start = end + 1;
  }
  return resolved;
}

bool FakeSystemServices::IsFolder(const std::string& path) const { return folders.count(Resolve(path, true)) != 0; }

bool FakeSystemServices::ParentExists(const std::string& path) const {
  return IsFolder(ParentFolderOf(WithoutTrailingBackslash(path)));
}

bool FakeSystemServices::HasChildren(const std::string& folder) const {
  const std::string prefix = folder + "\\";
  auto under = [&](const std::string& path) { return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0; };
  for (const std::string& path : folders) {
    if (under(path)) return true;
  }
  for (const auto& [path, contents] : files) {
    if (under(path)) return true;
  }
  for (const auto& [path, link] : links) {
    if (under(path)) return true;
  }
  for (const auto& [path, target] : hardLinks) {
    if (under(path)) return true;
  }
  return false;
}

std::string FakeSystemServices::FileBehind(const std::string& path) const {
  const std::string resolved = Resolve(path, true);
  const auto second = hardLinks.find(resolved);
  return second == hardLinks.end() ? resolved : second->second;
}

std::uint32_t FakeSystemServices::AttributesOf(const std::string& path) const {
  if (auto it = attributeOverrides.find(path); it != attributeOverrides.end()) return it->second;
  const std::string entry = Resolve(path, false);
  if (auto link = links.find(entry); link != links.end()) {
    return kFileAttributeReparsePoint | (link->second.directory ? kFileAttributeDirectory : kFileAttributeArchive);
  }
  if (folders.count(entry)) return kFileAttributeDirectory;
  if (files.count(entry) || hardLinks.count(entry)) return kFileAttributeArchive;
  return kInvalidFileAttributes;
}

bool FakeSystemServices::MakeFolder(const std::string& path) {
  if (!ParentExists(path) || AttributesOf(path) != kInvalidFileAttributes) return false;
  folders.insert(Resolve(path, true));
  directoriesCreated.push_back(path);
  return true;
}

const std::string* FakeSystemServices::ResourceNameOf(ResourceRef ref) const {
  for (const auto& [name, bytes] : resources) {
    if (static_cast<const void*>(&bytes) == ref) return &name;
  }
  return nullptr;
}

bool FakeSystemServices::SetDefaultDllDirectoryFlags(std::uint32_t flags) {
  Record("SetDefaultDllDirectories", {Hex(flags)});
  return hasSetDefaultDllDirectories;
}

bool FakeSystemServices::SetSearchPathModeFlags(std::uint32_t flags) {
  Record("SetSearchPathMode", {Hex(flags)});
  return true;
}

bool FakeSystemServices::SetDllSearchDirectory(const std::string& directory) {
  Record("SetDllDirectoryA", {directory});
  return true;
}

void FakeSystemServices::StartPlatform() {
  Record("StartPlatform");
  if (platformStartFailure) throw Exception(*platformStartFailure);
}

void FakeSystemServices::ReportFailure(const std::exception_ptr& failure) {
  Record("ReportFailure");
  reports.push_back(DescribeException(failure, 0));
}

void FakeSystemServices::InitializeApplication() { Record("InitializeApplication"); }
void FakeSystemServices::SetApplicationTitle(const std::string& title) { Record("SetApplicationTitle", {title}); }
void FakeSystemServices::RunApplication() { Record("RunApplication"); }

std::uint32_t FakeSystemServices::QueryTempPath(std::uint32_t capacity, char* buffer) {
  Record("GetTempPathA", {std::to_string(capacity)});
  if (tempPathResult) return *tempPathResult;
  const auto length = static_cast<std::uint32_t>(tempPath.size());
  if (length + 1 > capacity) return length + 1;
  std::memcpy(buffer, tempPath.c_str(), length + 1);
  return length;
}

std::uint32_t FakeSystemServices::QueryFileAttributes(const std::string& path) {
  Record("GetFileAttributesA", {path});
  return AttributesOf(path);
}

bool FakeSystemServices::MakeDirectory(const std::string& path) {
  Record("CreateDirectoryA", {path});
  return MakeFolder(path);
}

bool FakeSystemServices::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  Record("CreateDirectoryA", {path, sddl});
  if (!MakeFolder(path)) return false;
  folderSecurity[Resolve(path, true)] = sddl;
  return true;
}

std::string FakeSystemServices::CurrentUserSid() {
  Record("GetTokenInformation");
  return userSid;
}

FileRef FakeSystemServices::OpenFolderInPlace(const std::string& path) {
  if (beforeFolderOpens) beforeFolderOpens(*this);
  Record("OpenFolderInPlace", {path});
  if (unopenableFolders.count(path) || AttributesOf(path) == kInvalidFileAttributes) return kInvalidFileRef;
  const std::int32_t handle = nextHandle_++;
  handles_[handle] = {path, 0, true};
  ++heldFolders;
  return handle;
}

std::uint32_t FakeSystemServices::QueryOpenEntryAttributes(FileRef entry) {
  const OpenFile& open = handles_.at(static_cast<std::int32_t>(entry));
  Record("GetFileInformationByHandle", {open.path});
  if (unexaminableFolders.count(open.path)) return kInvalidFileAttributes;
  return AttributesOf(open.path);
}

bool FakeSystemServices::ProtectOpenFolder(FileRef folder, const std::string& sddl) {
  const OpenFile& open = handles_.at(static_cast<std::int32_t>(folder));
  Record("SetKernelObjectSecurity", {open.path, sddl});
  if (refuseFolderSecurity) return false;
  folderSecurity[Resolve(open.path, false)] = sddl;
  return true;
}

bool FakeSystemServices::ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  Record("FindFirstFileA", {folder});
  entries.clear();
  const std::string resolved = Resolve(folder, true);
  if (unlistable.count(folder) || !folders.count(resolved)) return false;
  const std::string prefix = resolved + "\\";
  std::set<std::string> names;
  auto collect = [&](const std::string& path) {
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        path.find(kBackslash, prefix.size()) == std::string::npos) {
      names.insert(path.substr(prefix.size()));
    }
  };
  for (const std::string& path : folders) collect(path);
  for (const auto& [path, contents] : files) collect(path);
  for (const auto& [path, link] : links) collect(path);
  for (const auto& [path, target] : hardLinks) collect(path);
  for (const std::string& name : names) entries.push_back({name, AttributesOf(prefix + name)});
  return true;
}

bool FakeSystemServices::RemoveEntry(const std::string& path) {
  Record("RemoveEntry", {path});
  const std::string entry = Resolve(path, false);
  if (undeletable.count(path)) return false;
  if (links.erase(entry) || hardLinks.erase(entry) || files.erase(entry)) return true;
  if (folders.count(entry) && !HasChildren(entry)) {
    folders.erase(entry);
    return true;
  }
  return false;
}

ResourceRef FakeSystemServices::FindModuleResource(const std::string& name, const std::string& type) {
  Record("FindResourceA", {name, type});
  if (UpperCase(type) != "FILE") return nullptr;
  auto it = resources.find(UpperCase(name));
  return it == resources.end() ? nullptr : &it->second;
}

ResourceRef FakeSystemServices::LoadModuleResource(ResourceRef found) {
  const std::string* name = ResourceNameOf(found);
  Record("LoadResource", {name ? *name : "?"});
  if (name == nullptr || unloadableResources.count(*name)) return nullptr;
  return found;
}

const void* FakeSystemServices::LockModuleResource(ResourceRef loaded) {
  const std::string* name = ResourceNameOf(loaded);
  Record("LockResource", {name ? *name : "?"});
  return name ? resources.at(*name).data() : nullptr;
}

std::uint32_t FakeSystemServices::ModuleResourceSize(ResourceRef found) {
  const std::string* name = ResourceNameOf(found);
  Record("SizeofResource", {name ? *name : "?"});
  return name ? static_cast<std::uint32_t>(resources.at(*name).size()) : 0;
}

FileRef FakeSystemServices::CreateFileForWriting(const std::string& path) {
  Record("CreateFileA", {path});
  if (!ParentExists(path) || IsFolder(path) || lockedFiles.count(path)) return kInvalidFileRef;
  const std::string file = FileBehind(path);
  files[file].clear();
  const std::int32_t handle = nextHandle_++;
  handles_[handle] = {file, 0};
  ++openFiles;
  return handle;
}

bool FakeSystemServices::WriteToFile(FileRef file, const void* data, std::uint32_t count, std::uint32_t& written) {
  OpenFile& open = handles_.at(static_cast<std::int32_t>(file));
  Record("WriteFile", {open.path, std::to_string(count)});
  writes.push_back({open.path, data, count});
  written = 0;
  if (failingWrites.count(open.path)) return false;
  written = count;
  if (auto it = writeLimits.find(open.path); it != writeLimits.end()) written = std::min(count, it->second);
  files[open.path].append(static_cast<const char*>(data), written);
  return true;
}

void FakeSystemServices::CloseFile(FileRef file) {
  const auto handle = static_cast<std::int32_t>(file);
  const OpenFile open = handles_.at(handle);
  Record("CloseHandle", {open.path});
  handles_.erase(handle);
  if (open.folderHold) {
    --heldFolders;
  } else {
    --openFiles;
  }
}

void FakeSystemServices::ExpandStagedFile() {
  Record("ExpandFile", {ExpanderInputName, ExpanderOutputName});
  ExpandCompressedFile();
}

std::intptr_t FakeSystemServices::ExecuteThroughShell(void* owner, const char* verb, const char* file,
                                                      const char* parameters, const char* directory,
                                                      int showCommand) {
  Record("ShellExecuteA", {file});
  launches.push_back({owner, verb ? verb : "", file ? file : "", parameters, parameters ? parameters : "",
                      directory ? directory : "", showCommand});
  return shellResult;
}

std::string FakeSystemServices::SystemErrorText(std::uint32_t errorCode) {
  Record("FormatMessageA", {std::to_string(errorCode)});
  auto it = errorTexts.find(errorCode);
  return it == errorTexts.end() ? std::string() : it->second;
}

std::int32_t FakeSystemServices::OpenForExpander(const std::string& path, bool create) {
  const std::string file = FileBehind(path);
  if (create) {
    if (!ParentExists(path) || IsFolder(path)) return kInvalidFileHandle;
    files[file].clear();
  } else if (!files.count(file)) {
    return kInvalidFileHandle;
  }
  const std::int32_t handle = nextHandle_++;
  handles_[handle] = {file, 0};
  return handle;
}

std::int32_t FakeSystemServices::ReadForExpander(std::int32_t handle, void* buffer, std::int32_t count) {
  OpenFile& open = handles_.at(handle);
  const std::string& contents = files.at(open.path);
  const std::size_t n = std::min(static_cast<std::size_t>(count), contents.size() - open.position);
  std::memcpy(buffer, contents.data() + open.position, n);
  open.position += n;
  return static_cast<std::int32_t>(n);
}

std::int32_t FakeSystemServices::WriteForExpander(std::int32_t handle, const void* buffer, std::int32_t count) {
  OpenFile& open = handles_.at(handle);
  files.at(open.path).append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
  return count;
}

void FakeSystemServices::CloseForExpander(std::int32_t handle) { handles_.erase(handle); }

void FakeSystemServices::DeleteForExpander(const std::string& path) { files.erase(path); }

std::string EmptyCompressedFile() { return std::string("!HZL\0\0\0\0", 8); }

void InstallPayloadResources(FakeSystemServices& system) {
  for (int row = 1; row <= 16; ++row) {
    const std::string name = "Test" + std::to_string(row);
    system.resources[UpperCase(name)] = row == 15 ? EmptyCompressedFile() : "payload of " + name;
  }
}
