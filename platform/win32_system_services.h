#pragma once
// SystemServices over Win32: every method is the one call it stands for, on
// the running executable's module and the application object it is given.

#include "system_services.h"
#include "win32_application.h"

class Win32SystemServices : public SystemServices {
 public:
  explicit Win32SystemServices(TApplication& application);

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

 private:
  TApplication& application_;
  HMODULE module_;
};
