#pragma once
// The bootstrap's one straight run: name the application, take the staging
// folder, write the sixteen payload files, expand and start the second
// stage, hand over to the run step. Nothing is caught here: the first
// exception ends the run, skips every later step and goes on to the failure
// report.

#include <string>
#include <vector>

#include "system_services.h"

// Exit code after a run that got through.
inline constexpr int kExitCodeNormal = 0;

// The names of every file the bootstrap writes into the staging folder: the
// sixteen payload files, then the expanded second stage.
std::vector<std::string> StagedFileNames();

// Steps 1 to 6, in order, over the given services. The platform must have
// started.
void RunBootstrap(SystemServices& system);

// The process from its entry to its exit code: the DLL search narrowed
// before anything else, then the platform's start-up and the bootstrap;
// whatever escapes either is shown in the failure report, after which the
// exit code is kExitCodeAfterReport.
int RunBootstrapProcess(SystemServices& system);
