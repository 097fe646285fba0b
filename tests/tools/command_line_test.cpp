// hzl's command line as a unit: the NAME.ext -> NAME.ex_ rule and what each
// argument list is taken to mean.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "hzl_compressor.h"

namespace {

TEST(CompressedNameFor, MarksTheLastCharacterOfTheExtension) {
  struct Case {
    const char* path;
    const char* expected;  // "" when no name can be derived
  };
  const Case cases[] = {
      {"Setup.exe", "Setup.ex_"},
      {"setup.EXE", "setup.EX_"},
      {"data.x", "data._"},
      {"archive.tar.gz", "archive.tar.g_"},
      {"dir/file.dll", "dir/file.dl_"},
      {"dir.d/file.hlp", "dir.d/file.hl_"},
      {"C:\\Temp\\Setup.lst", "C:\\Temp\\Setup.ls_"},
      {"C:Setup.exe", "C:Setup.ex_"},
      {"noextension", ""},
      {"dir.d/noextension", ""},
      {"dir.d\\noextension", ""},
      {"ending.", ""},
      {".profile", ""},
      {"dir/.profile", ""},
      {"Setup.ex_", ""},  // already marked
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CompressedNameFor(c.path), c.expected) << c.path;
}

TEST(ParseHzlCommandLine, ReadsModesLevelsAndNames) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    HzlMode mode;
    int level;
    bool force;
    bool verbose;
    std::string output;
    std::vector<std::string> inputs;
  };
  const Case cases[] = {
      {{"Setup.exe"}, true, HzlMode::Compress, 0, false, false, "Setup.ex_", {"Setup.exe"}},
      {{"-9", "Setup.exe", "-o", "out"}, true, HzlMode::Compress, 9, false, false, "out", {"Setup.exe"}},
      {{"-1fv", "a.txt"}, true, HzlMode::Compress, 1, true, true, "a.tx_", {"a.txt"}},
      {{"-k", "a.txt"}, true, HzlMode::Compress, 0, false, false, "a.tx_", {"a.txt"}},
      {{"-"}, true, HzlMode::Compress, 0, false, false, "-", {"-"}},
      {{"-d", "a.ex_", "-o", "a.exe"}, true, HzlMode::Expand, 0, false, false, "a.exe", {"a.ex_"}},
      {{"-df", "-", "-o", "-"}, true, HzlMode::Expand, 0, true, false, "-", {"-"}},
      {{"-d", "-"}, true, HzlMode::Expand, 0, false, false, "-", {"-"}},
      {{"-l", "a", "b"}, true, HzlMode::List, 0, false, false, "", {"a", "b"}},
      {{"-t", "a"}, true, HzlMode::Test, 0, false, false, "", {"a"}},
      {{"--", "-d"}, false, HzlMode::Compress, 0, false, false, "", {}},  // "-d" is a file without extension
      {{"--", "-d.exe"}, true, HzlMode::Compress, 0, false, false, "-d.ex_", {"-d.exe"}},
      {{"--help"}, true, HzlMode::Help, 0, false, false, "", {}},
      {{"--version"}, true, HzlMode::Version, 0, false, false, "", {}},
      {{}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"-x", "a.txt"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"--bogus", "a.txt"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"a.txt", "-o"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"a.txt", "b.txt"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"noextension"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"-d", "a.ex_"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"-d", "-l", "a"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"-l", "a", "-o", "b"}, false, HzlMode::Compress, 0, false, false, "", {}},
      {{"-d5", "a", "-o", "b"}, false, HzlMode::Compress, 0, false, false, "", {}},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += " " + a;
    SCOPED_TRACE("hzl" + joined);
    const ParseResult r = ParseHzlCommandLine(c.args);
    ASSERT_EQ(r.ok, c.ok) << r.error;
    if (!c.ok) {
      EXPECT_FALSE(r.error.empty());
      continue;
    }
    EXPECT_EQ(r.options.mode, c.mode);
    if (c.mode == HzlMode::Help || c.mode == HzlMode::Version) continue;
    EXPECT_EQ(r.options.level, c.level);
    EXPECT_EQ(r.options.force, c.force);
    EXPECT_EQ(r.options.verbose, c.verbose);
    EXPECT_EQ(r.options.output, c.output);
    EXPECT_EQ(r.options.inputs, c.inputs);
  }
}

TEST(Usage, NamesTheDefaultLevel) {
  EXPECT_NE(std::string(kHzlUsage).find("(default -" + std::to_string(kDefaultLevel) + ")"), std::string::npos);
}

}  // namespace
