#pragma once
// The four things `hzl` does. Each returns the process exit status (0 or 1)
// and reports failures on standard error as "hzl: <message>".

#include "command_line.h"

// Puts standard input and output into binary mode where the platform has a
// text mode; call once before any of the others.
void UseBinaryStandardStreams();

int RunCompress(const HzlOptions& options);
int RunExpand(const HzlOptions& options);
int RunList(const HzlOptions& options);
int RunTest(const HzlOptions& options);
