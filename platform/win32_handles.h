#pragma once
// Owners for the Win32 handles and allocations the platform opens on its
// own: each is released exactly once, on every way out.

#include <windows.h>

#include <memory>
#include <type_traits>

// A kernel handle from CreateFileA, OpenProcessToken...; INVALID_HANDLE_VALUE
// and null both mean none.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~UniqueHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  // Hands the handle over to the caller, who closes it.
  HANDLE Release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  HANDLE handle_;
};

// A search handle from FindFirstFileA.
class UniqueFind {
 public:
  explicit UniqueFind(HANDLE find) : find_(find) {}
  ~UniqueFind() {
    if (Valid()) FindClose(find_);
  }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;

  bool Valid() const { return find_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return find_; }

 private:
  HANDLE find_;
};

// Memory the system allocated for the caller with LocalAlloc (security
// descriptors from SDDL, SID texts).
struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};
template <typename T>
using LocalMemory = std::unique_ptr<std::remove_pointer_t<T>, LocalFreeDeleter>;
