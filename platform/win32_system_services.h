#pragma once
// SystemServices over Win32: every method is the one call it stands for (or
// the short fixed run of calls its description names), on the running
// executable's module and the application object the start-up creates.

#include <optional>

#include "system_services.h"
#include "win32_application.h"

class Win32SystemServices : public SystemServices {
 public:
  // Holds only the module handle until StartPlatform creates the
  // application object, so the DLL search can be narrowed before that.
  explicit Win32SystemServices(HINSTANCE instance);

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

 private:
  // The application object; the start-up must have created it.
  TApplication& Application();

  HMODULE module_;
  std::optional<TApplication> application_;
};
