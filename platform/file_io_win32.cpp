// Win32 form of the file layer: the calls and flags the expander relies on.
#include <windows.h>

#include "file_io.h"

namespace {

FileHandle FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kInvalidFileHandle
                                   : static_cast<FileHandle>(reinterpret_cast<intptr_t>(h));
}
HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }

FileHandle OpenExisting(const std::string& path) {
  return FromHandle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle CreateAlways(const std::string& path) {
  return FromHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int32_t Read(FileHandle handle, void* buffer, int32_t count) {
  DWORD done = 0;
  if (!ReadFile(ToHandle(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t Write(FileHandle handle, const void* buffer, int32_t count) {
  DWORD done = 0;
  if (!WriteFile(ToHandle(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

void Flush(FileHandle handle) { (void)FlushFileBuffers(ToHandle(handle)); }
void Close(FileHandle handle) { (void)CloseHandle(ToHandle(handle)); }
void Delete(const std::string& path) { (void)DeleteFileA(path.c_str()); }

const FileOps kWin32Ops = {OpenExisting, CreateAlways, Read, Write, Flush, Close, Delete};

}  // namespace

const FileOps& NativeFileOps() { return kWin32Ops; }
