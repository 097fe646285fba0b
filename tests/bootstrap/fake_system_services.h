#pragma once
// SystemServices over a small in-memory Windows: folders, files, the
// executable's resources and the shell, each of which a test can set up or
// break. Every call is recorded in order, with its arguments, so a test can
// check what the bootstrap asked of the system and in which order. The
// expansion runs the real expander over the in-memory files.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

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
  int openFiles = 0;  // files created and not yet closed

  // The recorded calls with this name, in order.
  std::vector<FakeCall> CallsNamed(const std::string& name) const;
  // The names of all recorded calls, in order.
  std::vector<std::string> CallNames() const;
  // The resource's bytes as LockResource hands them out.
  const void* ResourceMemory(const std::string& name) const;

  // --- SystemServices ---
  void InitializeApplication() override;
  void SetApplicationTitle(const std::string& title) override;
  void RunApplication() override;
  std::uint32_t QueryTempPath(std::uint32_t capacity, char* buffer) override;
  std::uint32_t QueryFileAttributes(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
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
