#pragma once
// The operating-system services the bootstrap uses, behind one abstract
// class. The Windows build runs over Win32SystemServices; the native tests run
// the same logic over a fake that records every call and can be told to fail.
// Each method stands for one Win32 call and returns what that call returns, so
// the caller's handling of a result is the same over the fake as over Windows.
// Paths and names are 8-bit strings in the ANSI code page.

#include <cstdint>
#include <string>

// A found or loaded resource; nullptr stands for a failed lookup or load.
using ResourceRef = const void*;

// An open file; kInvalidFileRef after a failed creation.
using FileRef = std::intptr_t;
inline constexpr FileRef kInvalidFileRef = -1;

// The answer of the attribute query for a path it cannot reach.
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
// The attribute bit of a folder.
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10u;

// The shell's results up to this value are failures, above it successes.
inline constexpr std::intptr_t kHighestShellFailure = 32;

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // The application object: its initialisation hook, the caption of its
  // top-level window (the task-bar entry) and its run step.
  virtual void InitializeApplication() = 0;
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void RunApplication() = 0;

  // GetTempPathA: writes the temporary directory and a zero byte into buffer,
  // which holds capacity bytes; returns the path's length, the size needed
  // when the buffer is too small (buffer then unfilled), or 0 on failure.
  virtual std::uint32_t QueryTempPath(std::uint32_t capacity, char* buffer) = 0;
  // GetFileAttributesA.
  virtual std::uint32_t QueryFileAttributes(const std::string& path) = 0;
  // CreateDirectoryA without security attributes; true when created.
  virtual bool MakeDirectory(const std::string& path) = 0;

  // FindResourceA, LoadResource, LockResource and SizeofResource, always on
  // the running executable's own module.
  virtual ResourceRef FindModuleResource(const std::string& name, const std::string& type) = 0;
  virtual ResourceRef LoadModuleResource(ResourceRef found) = 0;
  virtual const void* LockModuleResource(ResourceRef loaded) = 0;
  virtual std::uint32_t ModuleResourceSize(ResourceRef found) = 0;

  // CreateFileA with GENERIC_READ | GENERIC_WRITE, no sharing, no security
  // attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, no template.
  virtual FileRef CreateFileForWriting(const std::string& path) = 0;
  // WriteFile at the file's current position; false when the call fails.
  virtual bool WriteToFile(FileRef file, const void* data, std::uint32_t count, std::uint32_t& written) = 0;
  // CloseHandle.
  virtual void CloseFile(FileRef file) = 0;

  // Expands the file named by ExpanderInputName into ExpanderOutputName;
  // raises the expander's exception when that fails.
  virtual void ExpandStagedFile() = 0;

  // ShellExecuteA with its six arguments as given; its result as a number.
  virtual std::intptr_t ExecuteThroughShell(void* owner, const char* verb, const char* file,
                                            const char* parameters, const char* directory,
                                            int showCommand) = 0;
  // The system's text for a Win32 error code (FormatMessageA), or an empty
  // string when it has none.
  virtual std::string SystemErrorText(std::uint32_t errorCode) = 0;
};
