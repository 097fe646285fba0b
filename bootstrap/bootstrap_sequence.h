#pragma once
// The bootstrap's one straight run: name the application, create the staging
// folder, write the sixteen payload files, expand and start the second stage,
// hand over to the run step. Nothing is caught here: the first exception ends
// the run, skips every later step and goes on to the failure report.

#include "system_services.h"

// Exit code after a run that got through.
inline constexpr int kExitCodeNormal = 0;

// Steps 1 to 6, in order, over the given services.
void RunBootstrap(SystemServices& system);
