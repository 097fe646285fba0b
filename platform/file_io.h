#pragma once
// The small file layer under the expander: the Win32 calls CreateFileA,
// ReadFile, WriteFile, FlushFileBuffers, CloseHandle and DeleteFileA in the
// Windows build, POSIX calls with the same results on Linux. Handles are held
// as signed 32-bit values: above 0 for an open file, -1 after a failed open.
// Files are opened without sharing: while one handle is open, no other open
// of the same file succeeds.

#include <cstdint>
#include <string>

using FileHandle = int32_t;
constexpr FileHandle kInvalidFileHandle = -1;

// One table of operations, so tests can watch or break the real ones without
// the expander knowing.
struct FileOps {
  FileHandle (*OpenExisting)(const std::string& path);  // read only, no sharing
  FileHandle (*CreateAlways)(const std::string& path);  // read/write, no sharing, truncates
  int32_t (*Read)(FileHandle handle, void* buffer, int32_t count);          // bytes read, -1 on failure
  int32_t (*Write)(FileHandle handle, const void* buffer, int32_t count);   // bytes written, -1 on failure
  void (*Flush)(FileHandle handle);
  void (*Close)(FileHandle handle);
  void (*Delete)(const std::string& path);
};

// The operations of the system the build targets.
const FileOps& NativeFileOps();

// The operations in force; NativeFileOps() unless a test installed others.
const FileOps& CurrentFileOps();

// Test seam: installs other operations (nullptr restores the native ones).
void SetFileOpsForTesting(const FileOps* ops);
