#include "second_stage.h"

#include "bootstrap_messages.h"
#include "file_expander.h"
#include "message_format.h"
#include "shell_errors.h"
#include "staging_folder.h"
#include "staging_protection.h"

std::string LaunchPath;

namespace {

// The system's text without the line end and blanks it comes with.
std::string TrimmedReason(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

ELaunchError LaunchError(SystemServices& system, const std::string& file, std::intptr_t shellResult) {
  const std::uint32_t code = ShellResultToSystemError(shellResult);
  std::string reason = TrimmedReason(system.SystemErrorText(code));
  if (reason.empty()) reason = FillFormat(kUnknownSystemErrorFormat, {FormatArg::Number(code)});
  return ELaunchError(FillFormat(kLaunchErrorFormat, {file, reason}));
}

void RunSecondStage(SystemServices& system) {
  ExpanderInputName = StagedPath(kCompressedSecondStage);
  ExpanderOutputName = StagedPath(kSecondStage);
  // The expander creates its output over whatever it finds: an old
  // Setup.exe, or a link, goes first.
  ClearPathForNewFile(system, ExpanderOutputName);
  system.ExpandStagedFile();

  LaunchPath = StagedPath(kSecondStage);
  const std::intptr_t result = system.ExecuteThroughShell(nullptr, kLaunchVerb, LaunchPath.c_str(),
                                                          kLaunchParameters, StagingFolder.c_str(),
                                                          kLaunchShowCommand);
  if (result <= kHighestShellFailure) throw LaunchError(system, LaunchPath, result);
}
