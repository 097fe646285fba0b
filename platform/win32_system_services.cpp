#include "win32_system_services.h"

#include <shellapi.h>

#include "file_expander.h"

namespace {

// FormatMessageA's texts are short; this holds the longest of them.
constexpr DWORD kErrorTextCapacity = 1024;

HRSRC AsResourceInfo(ResourceRef ref) { return static_cast<HRSRC>(const_cast<void*>(ref)); }
HGLOBAL AsResourceData(ResourceRef ref) { return static_cast<HGLOBAL>(const_cast<void*>(ref)); }
HANDLE AsHandle(FileRef file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

Win32SystemServices::Win32SystemServices(TApplication& application)
    : application_(application), module_(application.Instance()) {}

void Win32SystemServices::InitializeApplication() { application_.Initialize(); }
void Win32SystemServices::SetApplicationTitle(const std::string& title) { application_.SetTitle(title); }
void Win32SystemServices::RunApplication() { application_.Run(); }

std::uint32_t Win32SystemServices::QueryTempPath(std::uint32_t capacity, char* buffer) {
  return GetTempPathA(capacity, buffer);
}

std::uint32_t Win32SystemServices::QueryFileAttributes(const std::string& path) {
  return GetFileAttributesA(path.c_str());
}

bool Win32SystemServices::MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
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
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? kInvalidFileRef : reinterpret_cast<FileRef>(file);
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
