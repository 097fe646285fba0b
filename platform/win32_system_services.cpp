#include "win32_system_services.h"

#include <sddl.h>
#include <shellapi.h>

#include "file_expander.h"
#include "win32_exception_report.h"
#include "win32_handles.h"
#include "win32_raise_address.h"

namespace {

// FormatMessageA's texts are short; this holds the longest of them.
constexpr DWORD kErrorTextCapacity = 1024;

HRSRC AsResourceInfo(ResourceRef ref) { return static_cast<HRSRC>(const_cast<void*>(ref)); }
HGLOBAL AsResourceData(ResourceRef ref) { return static_cast<HGLOBAL>(const_cast<void*>(ref)); }
HANDLE AsHandle(FileRef file) { return reinterpret_cast<HANDLE>(file); }
FileRef AsFileRef(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kInvalidFileRef : reinterpret_cast<FileRef>(handle);
}

// The two kernel32 calls that older systems lack, looked up when needed so
// that the executable starts there all the same.
using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeProc = BOOL(WINAPI*)(DWORD);

template <typename Proc>
Proc Kernel32Proc(const char* name) {
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  // GetProcAddress hands out every export under one pointer type.
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

// A security descriptor made from SDDL text, released with LocalFree.
LocalMemory<PSECURITY_DESCRIPTOR> DescriptorFromSddl(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return nullptr;
  }
  return LocalMemory<PSECURITY_DESCRIPTOR>(descriptor);
}

// Attributes that SetFileInformationByHandle takes back; the others (folder,
// reparse point...) describe the entry and cannot be set.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

Win32SystemServices::Win32SystemServices(HINSTANCE instance) : module_(instance) {}

bool Win32SystemServices::SetDefaultDllDirectoryFlags(std::uint32_t flags) {
  const auto setDefault = Kernel32Proc<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories");
  return setDefault != nullptr && setDefault(flags) != FALSE;
}

bool Win32SystemServices::SetSearchPathModeFlags(std::uint32_t flags) {
  const auto setMode = Kernel32Proc<SetSearchPathModeProc>("SetSearchPathMode");
  return setMode != nullptr && setMode(flags) != FALSE;
}

bool Win32SystemServices::SetDllSearchDirectory(const std::string& directory) {
  return SetDllDirectoryA(directory.c_str()) != FALSE;
}

void Win32SystemServices::StartPlatform() {
  InstallProcessorFaultReport();
  application_.emplace(module_);
}

void Win32SystemServices::ReportFailure(const std::exception_ptr& failure) {
  ShowExceptionReport(DescribeException(failure, LastRaiseAddress()));
}

TApplication& Win32SystemServices::Application() { return application_.value(); }

void Win32SystemServices::InitializeApplication() { Application().Initialize(); }
void Win32SystemServices::SetApplicationTitle(const std::string& title) { Application().SetTitle(title); }
void Win32SystemServices::RunApplication() { Application().Run(); }

std::uint32_t Win32SystemServices::QueryTempPath(std::uint32_t capacity, char* buffer) {
  return GetTempPathA(capacity, buffer);
}

std::uint32_t Win32SystemServices::QueryFileAttributes(const std::string& path) {
  return GetFileAttributesA(path.c_str());
}

bool Win32SystemServices::MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32SystemServices::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  const LocalMemory<PSECURITY_DESCRIPTOR> descriptor = DescriptorFromSddl(sddl);
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;
  return CreateDirectoryA(path.c_str(), &security) != FALSE;
}

std::string Win32SystemServices::CurrentUserSid() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return std::string();
  const UniqueHandle token(rawToken);
  DWORD size = 0;
  (void)GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return std::string();
  // DWORD-aligned room for the TOKEN_USER and the SID behind it.
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return std::string();
  char* rawText = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &rawText)) {
    return std::string();
  }
  const LocalMemory<char*> text(rawText);
  return std::string(text.get());
}

FileRef Win32SystemServices::OpenFolderInPlace(const std::string& path) {
  // Listing access takes part in sharing, so leaving out FILE_SHARE_DELETE
  // keeps everyone else from renaming or removing the folder.
  return AsFileRef(CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::uint32_t Win32SystemServices::QueryOpenEntryAttributes(FileRef entry) {
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(AsHandle(entry), &information)) return kInvalidFileAttributes;
  return information.dwFileAttributes;
}

bool Win32SystemServices::ProtectOpenFolder(FileRef folder, const std::string& sddl) {
  const LocalMemory<PSECURITY_DESCRIPTOR> descriptor = DescriptorFromSddl(sddl);
  if (!descriptor) return false;
  return SetKernelObjectSecurity(AsHandle(folder), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 descriptor.get()) != FALSE;
}

bool Win32SystemServices::ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  WIN32_FIND_DATAA found = {};
  const UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find.Valid()) return false;
  do {
    const std::string name(found.cFileName);
    if (name != "." && name != "..") entries.push_back({name, found.dwFileAttributes});
  } while (FindNextFileA(find.Get(), &found));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

bool Win32SystemServices::RemoveEntry(const std::string& path) {
  const UniqueHandle entry(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!entry.Valid()) return false;
  FILE_BASIC_INFO basic = {};
  if (!GetFileInformationByHandleEx(entry.Get(), FileBasicInfo, &basic, sizeof basic)) return false;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    const DWORD kept = basic.FileAttributes & kSettableAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    // Zero times are left as they are.
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    if (!SetFileInformationByHandle(entry.Get(), FileBasicInfo, &basic, sizeof basic)) return false;
  }
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

ResourceRef Win32SystemServices::FindModuleResource(const std::string& name, const std::string& type) {
  return FindResourceA(module_, name.c_str(), type.c_str());
}

ResourceRef Win32SystemServices::LoadModuleResource(ResourceRef found) {
  return LoadResource(module_, AsResourceInfo(found));
}

const void* Win32SystemServices::LockModuleResource(ResourceRef loaded) {
  return LockResource(AsResourceData(loaded));
}

std::uint32_t Win32SystemServices::ModuleResourceSize(ResourceRef found) {
  return SizeofResource(module_, AsResourceInfo(found));
}

FileRef Win32SystemServices::CreateFileForWriting(const std::string& path) {
  return AsFileRef(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32SystemServices::WriteToFile(FileRef file, const void* data, std::uint32_t count,
                                      std::uint32_t& written) {
  DWORD done = 0;
  const BOOL ok = WriteFile(AsHandle(file), data, count, &done, nullptr);
  written = done;
  return ok != FALSE;
}

void Win32SystemServices::CloseFile(FileRef file) { CloseHandle(AsHandle(file)); }

void Win32SystemServices::ExpandStagedFile() { ExpandCompressedFile(); }

std::intptr_t Win32SystemServices::ExecuteThroughShell(void* owner, const char* verb, const char* file,
                                                       const char* parameters, const char* directory,
                                                       int showCommand) {
  return reinterpret_cast<std::intptr_t>(
      ShellExecuteA(static_cast<HWND>(owner), verb, file, parameters, directory, showCommand));
}

std::string Win32SystemServices::SystemErrorText(std::uint32_t errorCode) {
  char text[kErrorTextCapacity] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      errorCode, 0, text, kErrorTextCapacity, nullptr);
  return std::string(text, length);
}
