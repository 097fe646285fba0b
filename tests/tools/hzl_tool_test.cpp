// The hzl tool as its users meet it: the built binary run as a subprocess in
// a scratch folder, on files, standard input and output, and a terminal.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "hzl_compressor.h"
#include "scratch.h"
#include "synthetic_inputs.h"

namespace hzltest {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

struct RunResult {
  int status = -1;  // exit status, -1 when the tool did not exit normally
  Bytes out;        // standard output
  std::string err;  // standard error
};

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

class HzlTool : public ::testing::Test {
 protected:
  // Runs hzl with `args` in the scratch folder, standard input from `input`.
  RunResult Run(const std::vector<std::string>& args, const Bytes& input = {}) {
    WriteWholeFile(dir_.File(".stdin"), input);
    const pid_t pid = fork();
    if (pid == 0) Exec(args, dir_.File(".stdin").c_str(), dir_.File(".stdout").c_str(), -1);
    RunResult r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadWholeFile(dir_.File(".stdout"));
    r.err = Text(ReadWholeFile(dir_.File(".stderr")));
    fs::remove(dir_.File(".stdin"));
    fs::remove(dir_.File(".stdout"));
    fs::remove(dir_.File(".stderr"));
    return r;
  }

  // Runs hzl with its standard error (and with `stdoutToo` its standard
  // output) on a pseudo-terminal and returns what appeared there.
  std::string RunOnTerminal(const std::vector<std::string>& args, int& exitStatus, bool stdoutToo = false) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return {};
    }
    WriteWholeFile(dir_.File(".stdin"), {});
    const pid_t pid = fork();
    if (pid == 0) {
      close(master);
      Exec(args, dir_.File(".stdin").c_str(), stdoutToo ? nullptr : dir_.File(".stdout").c_str(), slave);
    }
    close(slave);
    std::string seen;
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO once the tool has exited and the terminal closed
      seen.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return seen;
  }

  std::string File(const std::string& name) const { return dir_.File(name); }
  void Put(const std::string& name, const Bytes& bytes) const { WriteWholeFile(dir_.File(name), bytes); }
  Bytes Get(const std::string& name) const { return ReadWholeFile(dir_.File(name)); }
  bool Exists(const std::string& name) const { return fs::exists(dir_.File(name)); }

  // Names in the folder other than the ones given: leftovers of staged output.
  std::vector<std::string> OtherFiles(const std::vector<std::string>& known) const {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(fs::path(dir_.File("")))) {
      const std::string name = entry.path().filename().string();
      bool listed = false;
      for (const std::string& k : known) listed = listed || k == name;
      if (!listed) others.push_back(name);
    }
    return others;
  }

 private:
  // In the child: standard input from `in`, output to `out` (nullptr: the
  // same as standard error), standard error to `errFd` (-1: a file).
  [[noreturn]] void Exec(const std::vector<std::string>& args, const char* in, const char* out, int errFd) {
    if (chdir(dir_.File("").c_str()) != 0) _exit(126);
    if (errFd < 0) errFd = open(dir_.File(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int inFd = open(in, O_RDONLY);
    const int outFd = out ? open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644) : dup(errFd);
    if (inFd < 0 || outFd < 0 || errFd < 0) _exit(126);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(HZL_TOOL));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(HZL_TOOL, argv.data());
    _exit(127);
  }

  ScratchDir dir_;
};

Bytes Compressed(const Bytes& input, int level = kDefaultLevel) {
  return CompressToContainer(input.data(), input.size(), level);
}

const Bytes kSample = MakeText(50000, 1);

// --- exit status ------------------------------------------------------------

TEST_F(HzlTool, ExitStatusTellsSuccessFailureAndMisuse) {
  Put("plain.txt", kSample);
  Put("packed.hz_", Compressed(kSample));
  Put("noextension", kSample);
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"--help"}, 0},
      {{"--version"}, 0},
      {{"-9", "plain.txt", "-o", "new.hzl"}, 0},
      {{"-d", "packed.hz_", "-o", "new.txt"}, 0},
      {{"-l", "packed.hz_"}, 0},
      {{"-t", "packed.hz_"}, 0},
      {{"missing.txt"}, 1},
      {{"-d", "missing.hz_", "-o", "x"}, 1},
      {{"-d", "plain.txt", "-o", "y"}, 1},
      {{"-t", "plain.txt"}, 1},
      {{"-l", "missing.hz_"}, 1},
      {{}, 2},
      {{"-q", "plain.txt"}, 2},
      {{"plain.txt", "packed.hz_"}, 2},
      {{"noextension"}, 2},
      {{"-d", "packed.hz_"}, 2},
      {{"-l", "packed.hz_", "-o", "z"}, 2},
      {{"-t", "-3", "packed.hz_"}, 2},
      {{"plain.txt", "-o"}, 2},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += " " + a;
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << "hzl" << joined << "\n" << r.err;
    if (c.status == 2) {
      EXPECT_NE(r.err.find("usage:"), std::string::npos) << "hzl" << joined;
    }
    if (c.status == 1) {
      EXPECT_EQ(r.err.rfind("hzl: ", 0), 0u) << "hzl" << joined << ": " << r.err;
    }
  }
}

// --- compressing and expanding ---------------------------------------------------

TEST_F(HzlTool, CompressesWhatTheLibraryWouldAtEachLevel) {
  Put("plain.txt", kSample);
  for (const int level : {1, kDefaultLevel, 9}) {
    const RunResult r = Run({"-" + std::to_string(level), "plain.txt", "-o", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Compressed(kSample, level)) << "level " << level;
  }
  const RunResult byDefault = Run({"plain.txt", "-o", "-"});
  EXPECT_EQ(byDefault.out, Compressed(kSample));
}

TEST_F(HzlTool, NamesTheOutputNameDotExUnderscore) {
  Put("Setup.exe", kSample);
  ASSERT_EQ(Run({"Setup.exe"}).status, 0);
  EXPECT_EQ(Get("Setup.ex_"), Compressed(kSample));
  EXPECT_EQ(Get("Setup.exe"), kSample) << "the input is kept";
}

TEST_F(HzlTool, StandardInputAndOutputOnEitherSide) {
  const Bytes packed = Compressed(kSample);
  Put("plain.txt", kSample);
  Put("packed.hz_", packed);

  RunResult r = Run({"-"}, kSample);  // stdin to stdout
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, packed);

  ASSERT_EQ(Run({"-", "-o", "fromstdin.hz_"}, kSample).status, 0);
  EXPECT_EQ(Get("fromstdin.hz_"), packed);

  struct Case {
    std::vector<std::string> args;
    bool fromStdin;
    const char* outFile;  // nullptr: standard output
  };
  const Case expansions[] = {
      {{"-d", "packed.hz_", "-o", "a.txt"}, false, "a.txt"},
      {{"-d", "-", "-o", "b.txt"}, true, "b.txt"},
      {{"-d", "packed.hz_", "-o", "-"}, false, nullptr},
      {{"-d", "-", "-o", "-"}, true, nullptr},
      {{"-d", "-"}, true, nullptr},
  };
  for (const Case& c : expansions) {
    r = Run(c.args, c.fromStdin ? packed : Bytes{});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(c.outFile ? Get(c.outFile) : r.out, kSample) << c.args[1] << " -> " << (c.outFile ? c.outFile : "-");
  }
}

TEST_F(HzlTool, ExpandsTheReferenceStreams) {
  for (const char* name : {"words.txt", "binary.bin", "empty.bin", "tiny.bin", "far.bin"}) {
    const std::string source = std::string(HZL_GOLDEN_DIR) + "/" + name;
    const RunResult r = Run({"-d", source + ".hzl", "-o", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ReadWholeFile(source)) << name;
  }
}

// --- never clobbering ----------------------------------------------------------

TEST_F(HzlTool, LeavesAnExistingOutputAloneWithoutForce) {
  const Bytes packed = Compressed(kSample);
  const Bytes old = {'o', 'l', 'd'};
  Put("plain.txt", kSample);
  Put("packed.hz_", packed);
  struct Case {
    std::vector<std::string> args;
    const char* out;
    const Bytes* replacement;
  };
  const Case cases[] = {
      {{"plain.txt", "-o", "out"}, "out", &packed},
      {{"plain.txt"}, "plain.tx_", &packed},
      {{"-d", "packed.hz_", "-o", "out"}, "out", &kSample},
      {{"-d", "-", "-o", "out"}, "out", &kSample},
  };
  for (const Case& c : cases) {
    Put(c.out, old);
    const bool fromStdin = c.args.size() > 1 && c.args[1] == "-";
    RunResult r = Run(c.args, fromStdin ? packed : Bytes{});
    EXPECT_EQ(r.status, 1) << c.args[0];
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(Get(c.out), old) << c.args[0];

    std::vector<std::string> forced = c.args;
    forced.insert(forced.begin(), "-f");
    r = Run(forced, fromStdin ? packed : Bytes{});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Get(c.out), *c.replacement) << c.args[0];
    fs::remove(File(c.out));
  }
}

// Inputs an expansion must fail on.
std::vector<std::pair<std::string, Bytes>> BadInputs() {
  const Bytes packed = Compressed(kSample);
  return {
      {"not compressed", kSample},
      {"three bytes", {'!', 'H', 'Z'}},
      {"signature alone", {'!', 'H', 'Z', 'L', 0x10}},
      {"stream cut in half", Bytes(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2))},
      {"head alone", Bytes(packed.begin(), packed.begin() + 8)},
  };
}

TEST_F(HzlTool, FailedExpansionLeavesNoOutputAndKeepsAnOldOne) {
  const Bytes old = {'k', 'e', 'e', 'p'};
  for (const auto& [what, bad] : BadInputs()) {
    SCOPED_TRACE(what);
    Put("bad.hz_", bad);
    for (const bool fromStdin : {false, true}) {
      const std::string in = fromStdin ? "-" : "bad.hz_";
      const Bytes stdinBytes = fromStdin ? bad : Bytes{};

      RunResult r = Run({"-d", in, "-o", "new.out"}, stdinBytes);
      EXPECT_EQ(r.status, 1) << in;
      EXPECT_FALSE(Exists("new.out")) << in;

      Put("old.out", old);
      r = Run({"-d", "-f", in, "-o", "old.out"}, stdinBytes);
      EXPECT_EQ(r.status, 1) << in;
      EXPECT_EQ(Get("old.out"), old) << in;

      EXPECT_EQ(OtherFiles({"bad.hz_", "old.out"}), std::vector<std::string>{}) << in;
    }
  }
}

// --- listing and testing -----------------------------------------------------------

TEST_F(HzlTool, ListsSizesRatioAndName) {
  const Bytes packed = Compressed(kSample);
  Put("a.hz_", packed);
  Put("empty.hz_", Compressed({}));
  Put("plain.txt", kSample);
  RunResult r = Run({"-l", "a.hz_", "empty.hz_"});
  ASSERT_EQ(r.status, 0) << r.err;
  char line[256];
  std::snprintf(line, sizeof line, "%12zu %12zu %6.1f%%  a.hz_\n", kSample.size(), packed.size(),
                100.0 * (1.0 - static_cast<double>(packed.size()) / static_cast<double>(kSample.size())));
  EXPECT_NE(Text(r.out).find(line), std::string::npos) << Text(r.out);
  EXPECT_NE(Text(r.out).find("           0            8    0.0%  empty.hz_\n"), std::string::npos) << Text(r.out);
  EXPECT_NE(Text(r.out).find("(totals)"), std::string::npos);

  r = Run({"-l", "plain.txt", "a.hz_"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("plain.txt: not a !HZL compressed file"), std::string::npos) << r.err;
  EXPECT_NE(Text(r.out).find("a.hz_"), std::string::npos) << "the good file is still listed";
}

TEST_F(HzlTool, TestsIntactCorruptAndTruncatedFiles) {
  const Bytes packed = Compressed(MakeText(200000, 2));
  Bytes byteRemoved = packed;
  byteRemoved.erase(byteRemoved.begin() + static_cast<std::ptrdiff_t>(packed.size() / 3));
  Bytes overwritten = packed;
  for (size_t k = 0; k < 16; ++k) overwritten[packed.size() / 2 + k] = 0xFF;
  Bytes appended = packed;
  appended.insert(appended.end(), {0x12, 0x34, 0x56});

  struct Case {
    const char* name;
    Bytes bytes;
    bool intact;
  };
  const Case cases[] = {
      {"intact.hz_", packed, true},
      {"empty.hz_", Compressed({}), true},
      {"byte-removed.hz_", byteRemoved, false},
      {"overwritten.hz_", overwritten, false},
      {"appended.hz_", appended, false},
      {"truncated.hz_", Bytes(packed.begin(), packed.end() - 100), false},
      {"last-byte-gone.hz_", Bytes(packed.begin(), packed.end() - 1), false},
      {"plain.txt", kSample, false},
  };
  std::vector<std::string> all = {"-t"};
  for (const Case& c : cases) {
    Put(c.name, c.bytes);
    const RunResult r = Run({"-t", c.name});
    EXPECT_EQ(r.status, c.intact ? 0 : 1) << c.name << ": " << r.err;
    EXPECT_EQ(Text(r.out), std::string(c.name) + (c.intact ? ": OK\n" : ": FAILED\n"));
    all.push_back(c.name);
  }
  const RunResult r = Run(all);
  EXPECT_EQ(r.status, 1);
  for (const Case& c : cases) {
    EXPECT_NE(Text(r.out).find(std::string(c.name) + (c.intact ? ": OK" : ": FAILED")), std::string::npos) << c.name;
  }
  for (const char* name : {"words.txt.hzl", "empty.bin.hzl", "runs.bin.hzl"}) {
    EXPECT_EQ(Run({"-t", std::string(HZL_GOLDEN_DIR) + "/" + name}).status, 0) << name;
  }
}

// --- what it says ------------------------------------------------------------------

TEST_F(HzlTool, VerboseTellsSizesAndRatio) {
  Put("plain.txt", kSample);
  const RunResult r = Run({"-v", "plain.txt", "-o", "out"});
  ASSERT_EQ(r.status, 0);
  const size_t packed = Get("out").size();
  char expected[128];
  std::snprintf(expected, sizeof expected, "plain.txt: %zu -> %zu bytes, %.1f%% saved\n", kSample.size(), packed,
                100.0 * (1.0 - static_cast<double>(packed) / static_cast<double>(kSample.size())));
  EXPECT_EQ(r.err, expected);
  EXPECT_EQ(Run({"plain.txt", "-f", "-o", "out"}).err, "") << "quiet without -v";
}

TEST_F(HzlTool, ShowsProgressOnATerminalForLargeInputsOnly) {
  Put("large.txt", MakeText(6 << 20, 3));
  Put("small.txt", kSample);
  int status = -1;
  const std::string large = RunOnTerminal({"-1", "large.txt", "-o", "large.hz_"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(large.find("\rhzl: large.txt  16%"), std::string::npos) << large;
  EXPECT_NE(large.find("100%"), std::string::npos) << large;

  const std::string small = RunOnTerminal({"-1", "small.txt", "-o", "small.hz_"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(small, "");

  const RunResult notTerminal = Run({"-1", "-f", "large.txt", "-o", "large.hz_"});
  EXPECT_EQ(notTerminal.status, 0);
  EXPECT_EQ(notTerminal.err, "") << "no progress into a file";
}

TEST_F(HzlTool, WritesNoCompressedDataToATerminalUnlessForced) {
  Put("small.txt", kSample);
  int status = -1;
  std::string seen = RunOnTerminal({"small.txt", "-o", "-"}, status, true);
  EXPECT_EQ(status, 1);
  EXPECT_NE(seen.find("not written to a terminal"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("!HZL"), std::string::npos) << "compressed bytes reached the terminal";

  seen = RunOnTerminal({"-f", "small.txt", "-o", "-"}, status, true);
  EXPECT_EQ(status, 0);
  EXPECT_NE(seen.find("!HZL"), std::string::npos);

  // Expanded data is what a terminal is for.
  Put("small.hz_", Compressed(kSample));
  seen = RunOnTerminal({"-d", "small.hz_", "-o", "-"}, status, true);
  EXPECT_EQ(status, 0);
  const std::string firstLine(kSample.begin(), std::find(kSample.begin(), kSample.end(), '\r'));
  ASSERT_FALSE(firstLine.empty());
  EXPECT_NE(seen.find(firstLine), std::string::npos) << seen.substr(0, 200);
}

}  // namespace
}  // namespace hzltest
