#pragma once
// The closing phase of the bootstrap: expand the staged Setup.ex_ into
// Setup.exe beside it, then start Setup.exe through the shell, without
// waiting for it. Either step failing is a failure of the bootstrap: nothing
// is launched after a failed expansion, and a launch the shell refuses is
// reported rather than passed over.

#include <string>

#include "exception.h"
#include "system_services.h"

// The shell refused to start the second stage.
DECLARE_EXCEPTION_CLASS(ELaunchError, Exception);

// The compressed second stage (the fifteenth payload row) and its expansion.
inline constexpr char kCompressedSecondStage[] = "Setup.ex_";
inline constexpr char kSecondStage[] = "Setup.exe";

// The launch: verb, parameters (an empty string, never a null pointer, so
// the second stage gets no arguments) and show command (SW_SHOW).
inline constexpr char kLaunchVerb[] = "open";
inline constexpr char kLaunchParameters[] = "";
inline constexpr int kLaunchShowCommand = 5;

// The staged path of Setup.exe as launched; set once by RunSecondStage.
extern std::string LaunchPath;

// Sets ExpanderInputName and ExpanderOutputName, removes whatever entry
// stands at the output's path (EFCreateError when it stays), expands (the expander's
// exception passes through, and nothing is launched), sets LaunchPath and
// calls ShellExecuteA(no owner, "open", LaunchPath, "", StagingFolder,
// SW_SHOW). Raises ELaunchError, with the file and the system's reason, for a
// result of 32 or less.
void RunSecondStage(SystemServices& system);

// The exception for a refused launch of `file` with the shell's result.
ELaunchError LaunchError(SystemServices& system, const std::string& file, std::intptr_t shellResult);
