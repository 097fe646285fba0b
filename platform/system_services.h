#pragma once
// The operating-system services the bootstrap uses, behind one abstract
// class. The Windows build runs over Win32SystemServices; the native tests run
// the same logic over a fake that records every call and can be told to fail.
// Each method stands for one Win32 call and returns what that call returns, so
// the caller's handling of a result is the same over the fake as over Windows.
// Paths and names are 8-bit strings in the ANSI code page.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

// A found or loaded resource; nullptr stands for a failed lookup or load.
using ResourceRef = const void*;

// An open file; kInvalidFileRef after a failed creation.
using FileRef = std::intptr_t;
inline constexpr FileRef kInvalidFileRef = -1;

// The answer of the attribute query for a path it cannot reach.
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
// The attribute bit of a folder.
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10u;
// The attribute bit of a reparse point: a junction or a symbolic link.
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400u;

// One entry of a folder listing: its name and its own attributes (those of
// a link itself, not of what it points to).
struct FolderEntry {
  std::string name;
  std::uint32_t attributes = 0;
};

// The shell's results up to this value are failures, above it successes.
inline constexpr std::intptr_t kHighestShellFailure = 32;

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Where the process looks for DLLs. Each returns false where the system
  // lacks the call or refuses it.
  // SetDefaultDllDirectories, looked up in kernel32 at run time.
  virtual bool SetDefaultDllDirectoryFlags(std::uint32_t flags) = 0;
  // SetSearchPathMode, looked up in kernel32 at run time.
  virtual bool SetSearchPathModeFlags(std::uint32_t flags) = 0;
  // SetDllDirectoryA.
  virtual bool SetDllSearchDirectory(const std::string& directory) = 0;

  // The platform's start-up: the report for processor faults, then the
  // application object, which raises when the system refuses its window.
  virtual void StartPlatform() = 0;
  // The default failure report for a caught exception; returns when the
  // user has closed it.
  virtual void ReportFailure(const std::exception_ptr& failure) = 0;

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
  // CreateDirectoryA with the security descriptor that the SDDL text
  // describes; true when created.
  virtual bool MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) = 0;

  // The SID of the process token's user as text ("S-1-5-21-..."); empty
  // when it cannot be read.
  virtual std::string CurrentUserSid() = 0;

  // Opens a folder so that it stays where it is while it is open:
  // CreateFileA for listing, attributes and its DACL, sharing read and write
  // but not delete (no one renames or removes it meanwhile), OPEN_EXISTING,
  // FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT (a link is
  // opened as itself). kInvalidFileRef when it cannot be opened. Closed
  // with CloseFile.
  virtual FileRef OpenFolderInPlace(const std::string& path) = 0;
  // GetFileInformationByHandle: the open entry's own attributes;
  // kInvalidFileAttributes when the query fails.
  virtual std::uint32_t QueryOpenEntryAttributes(FileRef entry) = 0;
  // SetKernelObjectSecurity on the open folder with the DACL of the SDDL
  // text, protected from inheritance. Only that object changes: nothing is
  // propagated to what the folder holds. False when refused.
  virtual bool ProtectOpenFolder(FileRef folder, const std::string& sddl) = 0;

  // FindFirstFileA/FindNextFileA over the folder's entries, "." and ".."
  // left out, each with its own attributes. False when the folder cannot be
  // listed.
  virtual bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) = 0;
  // Removes the entry itself, never what it points to: a file, one name of
  // a file with several, a symbolic link, a junction or an empty folder.
  // Opened with FILE_FLAG_OPEN_REPARSE_POINT, a read-only attribute cleared
  // on the entry itself, then marked for deletion. False when it stays (a
  // folder that is not empty, an entry in use, no right to remove it).
  virtual bool RemoveEntry(const std::string& path) = 0;

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
