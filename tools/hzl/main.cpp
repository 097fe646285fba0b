// hzl: compresses files into "!HZL" files and expands, lists and tests them.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"

namespace {
constexpr int kExitUsage = 2;
}

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = ParseHzlCommandLine(args);
  if (!parsed.ok) {
    std::fprintf(stderr, "hzl: %s\n%s", parsed.error.c_str(), kHzlUsage);
    return kExitUsage;
  }
  const HzlOptions& o = parsed.options;
  UseBinaryStandardStreams();
  switch (o.mode) {
    case HzlMode::Help:
      std::fputs(kHzlUsage, stdout);
      return 0;
    case HzlMode::Version:
      std::printf("hzl %s\n", HZL_VERSION);
      return 0;
    case HzlMode::Compress:
      return RunCompress(o);
    case HzlMode::Expand:
      return RunExpand(o);
    case HzlMode::List:
      return RunList(o);
    case HzlMode::Test:
      return RunTest(o);
  }
  return kExitUsage;
}
