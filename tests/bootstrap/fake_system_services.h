#pragma once
// SystemServices over a small in-memory Windows: folders, files, links, the
// executable's resources and the shell, each of which a test can set up or
// break. Every call is recorded in order, with its arguments, so a test can
// check what the bootstrap asked of the system and in which order. The
// expansion runs the real expander over the in-memory files.
//
// Links behave as on Windows: a path through a junction or a directory
// link leads into its target; creating a file at a file link, or at a
// second name of a file (a hard link), writes into the file it names; the
// attribute query, the folder listing and RemoveEntry see the link itself.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "exception_report.h"
#include "system_services.h"

// One recorded call: the Win32 name it stands for and its arguments as text.
struct FakeCall {
  std::string name;
  std::vector<std::string> args;
  bool operator==(const FakeCall& other) const { return name == other.name && args == other.args; }
};
void PrintTo(const FakeCall& call, std::ostream* out);

// One WriteFile call: where, what, how much.
struct FakeWrite {
  std::string path;
  const void* data;
  std::uint32_t count;
};

// The six arguments of one ShellExecuteA call.
struct FakeLaunch {
  void* owner;
  std::string verb;
  std::string file;
  const char* parameters;  // as passed, to tell "" from nullptr
  std::string parameterText;
  std::string directory;
  int showCommand;
};

// A junction or a symbolic link: where it points, and whether it stands
// for a folder (a junction, a directory link) or a file.
struct FakeLink {
  std::string target;
  bool directory;
};

class FakeSystemServices : public SystemServices {
 public:
  FakeSystemServices();
  ~FakeSystemServices() override;

  // --- The world a test sets up ---
  // What GetTempPathA delivers; tempPathResult, when set, replaces the count
  // it returns and leaves the buffer untouched.
  std::string tempPath = "C:\\Temp\\";
  std::optional<std::uint32_t> tempPathResult;
  // Existing folders, written without a trailing backslash ("C:", "C:\Temp").
  std::set<std::string> folders = {"C:", "C:\\Temp"};
  // Attribute answers that replace the ones folders and files give.
  std::map<std::string, std::uint32_t> attributeOverrides;
  // Existing files and their contents.
  std::map<std::string, std::string> files;
  // Reparse points by the path of the link itself.
  std::map<std::string, FakeLink> links;
  // Second names of files: the path of the name, the path of the file in
  // `files` whose contents it shares.
  std::map<std::string, std::string> hardLinks;
  std::set<std::string> undeletable;       // RemoveEntry fails
  std::set<std::string> unlistable;        // FindFirstFileA fails
  std::set<std::string> unopenableFolders; // OpenFolderInPlace fails
  std::set<std::string> unexaminableFolders; // GetFileInformationByHandle fails
  bool refuseFolderSecurity = false;       // SetKernelObjectSecurity fails
  // Runs when the folder is opened, before it is: a test changes the world
  // between the first look at the folder and the hold.
  std::function<void(FakeSystemServices&)> beforeFolderOpens;
  // The process token's user; empty when it cannot be read.
  std::string userSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
  bool hasSetDefaultDllDirectories = true;
  std::optional<std::string> platformStartFailure;  // StartPlatform raises an Exception with it
  // The executable's resources of type "FILE", by name in capitals.
  std::map<std::string, std::string> resources;
  std::set<std::string> unloadableResources;  // found, but LoadResource fails
  std::set<std::string> lockedFiles;          // CreateFileA fails
  std::map<std::string, std::uint32_t> writeLimits;  // WriteFile moves at most this many bytes
  std::set<std::string> failingWrites;               // WriteFile fails
  std::intptr_t shellResult = 42;
  std::map<std::uint32_t, std::string> errorTexts;

  // --- What happened ---
  std::vector<FakeCall> calls;
  std::vector<FakeWrite> writes;
  std::vector<FakeLaunch> launches;
  std::vector<std::string> directoriesCreated;
  int openFiles = 0;    // files created and not yet closed
  int heldFolders = 0;  // folders opened in place and not yet closed
  // The SDDL each folder got, by its path (a link's target for a link).
  std::map<std::string, std::string> folderSecurity;
  // What the failure report showed, in order.
  std::vector<ReportSubject> reports;

  // The recorded calls with this name, in order.
  std::vector<FakeCall> CallsNamed(const std::string& name) const;
  // The names of all recorded calls, in order.
  std::vector<std::string> CallNames() const;
  // The resource's bytes as LockResource hands them out.
  const void* ResourceMemory(const std::string& name) const;

  // The attributes the system shows for the entry itself (a link's own).
  std::uint32_t AttributesOf(const std::string& path) const;
  // The path with every link on the way replaced by its target; the last
  // part too when followLast is set.
  std::string Resolve(const std::string& path, bool followLast) const;

  // --- SystemServices ---
  bool SetDefaultDllDirectoryFlags(std::uint32_t flags) override;
  bool SetSearchPathModeFlags(std::uint32_t flags) override;
  bool SetDllSearchDirectory(const std::string& directory) override;
  void StartPlatform() override;
  void ReportFailure(const std::exception_ptr& failure) override;
  void InitializeApplication() override;
  void SetApplicationTitle(const std::string& title) override;
  void RunApplication() override;
  std::uint32_t QueryTempPath(std::uint32_t capacity, char* buffer) override;
  std::uint32_t QueryFileAttributes(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) override;
  std::string CurrentUserSid() override;
  FileRef OpenFolderInPlace(const std::string& path) override;
  std::uint32_t QueryOpenEntryAttributes(FileRef entry) override;
  bool ProtectOpenFolder(FileRef folder, const std::string& sddl) override;
  bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override;
  bool RemoveEntry(const std::string& path) override;
  ResourceRef FindModuleResource(const std::string& name, const std::string& type) override;
  ResourceRef LoadModuleResource(ResourceRef found) override;
  const void* LockModuleResource(ResourceRef loaded) override;
  std::uint32_t ModuleResourceSize(ResourceRef found) override;
  FileRef CreateFileForWriting(const std::string& path) override;
  bool WriteToFile(FileRef file, const void* data, std::uint32_t count, std::uint32_t& written) override;
  void CloseFile(FileRef file) override;
  void ExpandStagedFile() override;
  std::intptr_t ExecuteThroughShell(void* owner, const char* verb, const char* file, const char* parameters,
                                    const char* directory, int showCommand) override;
  std::string SystemErrorText(std::uint32_t errorCode) override;

  // --- The in-memory files as the expander's file layer sees them ---
  struct OpenFile {
    std::string path;
    std::size_t position = 0;
    bool folderHold = false;
  };
  std::int32_t OpenForExpander(const std::string& path, bool create);
  std::int32_t ReadForExpander(std::int32_t handle, void* buffer, std::int32_t count);
  std::int32_t WriteForExpander(std::int32_t handle, const void* buffer, std::int32_t count);
  void CloseForExpander(std::int32_t handle);
  void DeleteForExpander(const std::string& path);

 private:
  void Record(std::string name, std::vector<std::string> args = {});
  bool IsFolder(const std::string& path) const;
  bool ParentExists(const std::string& path) const;
  bool HasChildren(const std::string& folder) const;
  // Where creating a file at path writes: links and second names followed.
  std::string FileBehind(const std::string& path) const;
  bool MakeFolder(const std::string& path);
  const std::string* ResourceNameOf(ResourceRef ref) const;

  std::map<std::int32_t, OpenFile> handles_;
  std::int32_t nextHandle_ = 100;
};

// Upper-case form of an ASCII name, as the resource directory stores it.
std::string UpperCase(std::string text);

// An "!HZL" container that expands to an empty file.
std::string EmptyCompressedFile();

// Gives the fake executable the sixteen payload resources: "payload of
// TestN" for row N, except row 15 (Setup.ex_), an empty compressed file.
void InstallPayloadResources(FakeSystemServices& system);
