// The file expander end to end: every failure with its message and what it
// leaves at the output path, the head rules, block-wise file access, and
// independence of successive calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "buffered_io.h"
#include "file_expander.h"
#include "lzh_exceptions.h"
#include "test_support.h"

namespace {

using hzltest::AllocatorFaults;
using hzltest::AllocatorRecorder;
using hzltest::Bytes;
using hzltest::Container;
using hzltest::FileCall;
using hzltest::FileExists;
using hzltest::FileFaults;
using hzltest::FileOpsRecorder;
using hzltest::FromHex;
using hzltest::GoldenBytes;
using hzltest::ReadFileBytes;
using hzltest::TempDir;
using hzltest::WriteFileBytes;

const Bytes kPriorOutput = {'o', 'l', 'd', ' ', 'o', 'u', 't', 'p', 'u', 't'};

// What one case puts on disk and which faults it injects.
struct Scenario {
  TempDir dir;
  std::string input;
  std::string output;
  bool writeInput = true;
  Bytes inputBytes;
  bool priorOutput = true;  // put kPriorOutput at the output path first
  bool lockInput = false;   // hold an unshared handle on the input meanwhile
  bool lockOutput = false;  // likewise on the output
  FileFaults files;
  AllocatorFaults heap;

  Scenario() : input(dir.File("setup.ex_")), output(dir.File("setup.exe")) {}
};

enum class Raised { kLzrw1, kLzh };
enum class OutputAfter { kUntouched, kAbsent, kNotChecked };

struct FailureCase {
  const char* name;
  std::function<void(Scenario&)> setup;
  Raised raised;
  const char* message;  // "{in}" and "{out}" stand for the two paths
  OutputAfter output;
  bool opensFiles;  // false when the failure comes before any file is opened
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

Bytes TinyFile() { return GoldenBytes("tiny.bin.hzl"); }
Bytes TinyAfterSignature() {
  const Bytes tiny = TinyFile();
  return Bytes(tiny.begin() + 4, tiny.end());
}
Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }
Bytes WithHead(const char* head, const Bytes& rest) {
  Bytes out(head, head + 4);
  return hzltest::Concat(out, rest);
}

const char* const kNoBuffers = "Lzrw1 : no memory for I/O Buffers !!";
const char* const kNotFound = "Lzrw1 : Inputfile {in} not found !";
const char* const kCannotCreate = "Lzrw1 : Outputfile {out} can not be opened !";
const char* const kHeadRead = "Lzrw1 : ERROR READING FROM {in} !";
const char* const kNotCompressed = "Lzrw1 : {in} : NOT A COMPRESSED FILE !";
const char* const kReadError = "Lzrw1/LZH : READ ERROR ON {in} !";
const char* const kWriteError = "Lzrw1 : ERROR WRITING TO {out} !";
const char* const kNoTables = "LZH : Cannot get memory for dictionary tables";
const char* const kFreeTables = "LZH : Error freeing memory for dictionary tables";
const char* const kTruncated = "LZH : Unexpected end of compressed data";

const FailureCase kFailures[] = {
    {"first_buffer_not_allocated", [](Scenario& s) { s.inputBytes = TinyFile(); s.heap.failAllocateAt = 1; },
     Raised::kLzrw1, kNoBuffers, OutputAfter::kUntouched, false},
    {"second_buffer_not_allocated", [](Scenario& s) { s.inputBytes = TinyFile(); s.heap.failAllocateAt = 2; },
     Raised::kLzrw1, kNoBuffers, OutputAfter::kUntouched, false},
    {"input_missing_output_kept", [](Scenario& s) { s.writeInput = false; },
     Raised::kLzrw1, kNotFound, OutputAfter::kUntouched, true},
    {"input_missing_no_output_made", [](Scenario& s) { s.writeInput = false; s.priorOutput = false; },
     Raised::kLzrw1, kNotFound, OutputAfter::kAbsent, true},
    {"input_in_use", [](Scenario& s) { s.inputBytes = TinyFile(); s.lockInput = true; },
     Raised::kLzrw1, kNotFound, OutputAfter::kUntouched, true},
    {"output_folder_missing",
     [](Scenario& s) { s.inputBytes = TinyFile(); s.priorOutput = false; s.output = s.dir.File("no-such/setup.exe"); },
     Raised::kLzrw1, kCannotCreate, OutputAfter::kAbsent, true},
    {"output_in_use", [](Scenario& s) { s.inputBytes = TinyFile(); s.lockOutput = true; },
     Raised::kLzrw1, kCannotCreate, OutputAfter::kUntouched, true},
    {"output_names_the_input", [](Scenario& s) { s.inputBytes = TinyFile(); s.priorOutput = false; s.output = s.input; },
     Raised::kLzrw1, kCannotCreate, OutputAfter::kNotChecked, true},
    {"input_0_bytes", [](Scenario& s) { s.inputBytes = {}; }, Raised::kLzrw1, kHeadRead, OutputAfter::kAbsent, true},
    {"input_1_byte", [](Scenario& s) { s.inputBytes = Prefix(TinyFile(), 1); }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"input_3_bytes", [](Scenario& s) { s.inputBytes = Prefix(TinyFile(), 3); }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"input_3_bytes_not_signature", [](Scenario& s) { s.inputBytes = {'M', 'Z', 0}; }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"input_4_bytes", [](Scenario& s) { s.inputBytes = Prefix(TinyFile(), 4); }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"input_5_bytes", [](Scenario& s) { s.inputBytes = Prefix(TinyFile(), 5); }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"input_7_bytes", [](Scenario& s) { s.inputBytes = Prefix(TinyFile(), 7); }, Raised::kLzrw1, kHeadRead,
     OutputAfter::kAbsent, true},
    {"signature_last_byte_wrong", [](Scenario& s) { s.inputBytes = WithHead("!HZM", TinyAfterSignature()); },
     Raised::kLzrw1, kNotCompressed, OutputAfter::kAbsent, true},
    {"signature_big_endian", [](Scenario& s) { s.inputBytes = WithHead("LZH!", TinyAfterSignature()); },
     Raised::kLzrw1, kNotCompressed, OutputAfter::kAbsent, true},
    {"signature_lower_case", [](Scenario& s) { s.inputBytes = WithHead("!hzl", TinyAfterSignature()); },
     Raised::kLzrw1, kNotCompressed, OutputAfter::kAbsent, true},
    {"signature_only_4_bytes_wrong", [](Scenario& s) { s.inputBytes = {'M', 'Z', 0x90, 0}; }, Raised::kLzrw1,
     kNotCompressed, OutputAfter::kAbsent, true},
    {"signature_read_fails", [](Scenario& s) { s.inputBytes = TinyFile(); s.files.failReadAt = 1; },
     Raised::kLzrw1, kHeadRead, OutputAfter::kAbsent, true},
    {"size_read_fails", [](Scenario& s) { s.inputBytes = TinyFile(); s.files.failReadAt = 2; },
     Raised::kLzrw1, kHeadRead, OutputAfter::kAbsent, true},
    {"size_read_short", [](Scenario& s) { s.inputBytes = TinyFile(); s.files.failReadAt = 2; s.files.failedRead = 3; },
     Raised::kLzrw1, kHeadRead, OutputAfter::kAbsent, true},
    {"first_block_read_fails", [](Scenario& s) { s.inputBytes = TinyFile(); s.files.failReadAt = 3; },
     Raised::kLzrw1, kReadError, OutputAfter::kAbsent, true},
    {"later_block_read_fails",
     [](Scenario& s) { s.inputBytes = GoldenBytes("binary.bin.hzl"); s.files.failReadAt = 5; },
     Raised::kLzrw1, kReadError, OutputAfter::kAbsent, true},
    {"block_write_short",
     [](Scenario& s) { s.inputBytes = GoldenBytes("random.bin.hzl"); s.files.failWriteAt = 1; s.files.writeShortBy = 1; },
     Raised::kLzrw1, kWriteError, OutputAfter::kAbsent, true},
    {"second_block_write_fails",
     [](Scenario& s) { s.inputBytes = GoldenBytes("random.bin.hzl"); s.files.failWriteAt = 2; },
     Raised::kLzrw1, kWriteError, OutputAfter::kAbsent, true},
    {"final_flush_fails", [](Scenario& s) { s.inputBytes = TinyFile(); s.files.failWriteAt = 1; },
     Raised::kLzrw1, kWriteError, OutputAfter::kAbsent, true},
    {"tables_not_allocated", [](Scenario& s) { s.inputBytes = TinyFile(); s.heap.failAllocateAt = 3; },
     Raised::kLzh, kNoTables, OutputAfter::kAbsent, true},
    {"tables_not_released", [](Scenario& s) { s.inputBytes = TinyFile(); s.heap.failReleaseAt = 1; },
     Raised::kLzh, kFreeTables, OutputAfter::kAbsent, true},
    {"stream_missing_last_byte",
     [](Scenario& s) { Bytes b = GoldenBytes("leading-spaces.txt.hzl"); b.pop_back(); s.inputBytes = b; },
     Raised::kLzh, kTruncated, OutputAfter::kAbsent, true},
    {"stream_cut_after_a_block",
     [](Scenario& s) { s.inputBytes = Prefix(GoldenBytes("words.txt.hzl"), 8 + 40000); },
     Raised::kLzh, kTruncated, OutputAfter::kAbsent, true},
    {"stream_empty_size_declared", [](Scenario& s) { s.inputBytes = Container(16, {}); },
     Raised::kLzh, kTruncated, OutputAfter::kAbsent, true},
};

std::string Expand(std::string text, const Scenario& s) {
  for (auto [key, value] : {std::pair<std::string, std::string>{"{in}", s.input}, {"{out}", s.output}}) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

// Failures up to the creation of the output delete nothing.
bool FailsBeforeOutputExists(const FailureCase& c) {
  return c.message == kNoBuffers || c.message == kNotFound || c.message == kCannotCreate;
}

enum class Entry { kExpandCompressedFile, kExpandFile };

void RunFailure(const FailureCase& c, Entry entry) {
  Scenario s;
  c.setup(s);
  if (s.writeInput) WriteFileBytes(s.input, s.inputBytes);
  if (s.priorOutput) WriteFileBytes(s.output, kPriorOutput);
  ExpanderInputName = s.input;
  ExpanderOutputName = s.output;

  // Another handle on a file keeps the expander from opening it.
  FileHandle holder = 0;
  if (s.lockInput) holder = NativeFileOps().OpenExisting(s.input);
  if (s.lockOutput) holder = NativeFileOps().OpenExisting(s.output);
  if (s.lockInput || s.lockOutput) {
    ASSERT_GT(holder, 0);
  }

  {
    AllocatorRecorder heap(s.heap);
    FileOpsRecorder files(s.files);
    if (entry == Entry::kExpandFile) {
      EXPECT_EQ(ExpandFile(), -1);
    } else {
      std::string message;
      bool rightClass = false;
      try {
        ExpandCompressedFile();
      } catch (const ELzrw1Exception& e) {
        rightClass = c.raised == Raised::kLzrw1;
        message = e.Message();
      } catch (const ElzhException& e) {
        rightClass = c.raised == Raised::kLzh;
        message = e.Message();
      } catch (...) {
        message = "<other exception>";
      }
      EXPECT_TRUE(rightClass) << message;
      EXPECT_EQ(message, Expand(c.message, s));
    }

    // Clean-up on every way out: buffers and tables back, every file closed.
    EXPECT_EQ(heap.Live(), 0);
    std::string why;
    EXPECT_TRUE(files.EveryHandleClosedOnce(why)) << why;
    if (!c.opensFiles) {
      EXPECT_TRUE(files.Calls().empty());
    }
    const auto deletes = files.CallsOf(FileCall::kDelete);
    if (FailsBeforeOutputExists(c)) {
      EXPECT_TRUE(deletes.empty()) << "deleted " << deletes.front().path;
    } else {
      // The output, and only the output, is closed unflushed and deleted.
      ASSERT_EQ(deletes.size(), 1u);
      EXPECT_EQ(deletes[0].path, s.output);
      const auto created = files.CallsOf(FileCall::kCreateAlways);
      ASSERT_EQ(created.size(), 1u);
      for (const FileCall& flush : files.CallsOf(FileCall::kFlush)) EXPECT_NE(flush.handle, created[0].result);
    }
  }
  if (holder > 0) NativeFileOps().Close(holder);

  if (s.writeInput) {
    EXPECT_EQ(ReadFileBytes(s.input), s.inputBytes) << "input changed";
  }
  switch (c.output) {
    case OutputAfter::kUntouched:
      ASSERT_TRUE(FileExists(s.output));
      EXPECT_EQ(ReadFileBytes(s.output), kPriorOutput);
      break;
    case OutputAfter::kAbsent:
      EXPECT_FALSE(FileExists(s.output));
      break;
    case OutputAfter::kNotChecked:
      break;
  }
}

class ExpandFailure : public ::testing::TestWithParam<std::tuple<FailureCase, Entry>> {};

TEST_P(ExpandFailure, ReportsAndCleansUp) { RunFailure(std::get<0>(GetParam()), std::get<1>(GetParam())); }

INSTANTIATE_TEST_SUITE_P(
    Table, ExpandFailure,
    ::testing::Combine(::testing::ValuesIn(kFailures),
                       ::testing::Values(Entry::kExpandCompressedFile, Entry::kExpandFile)),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) +
             (std::get<1>(p.param) == Entry::kExpandFile ? "_result" : "_message");
    });

// A real full disk. Both ways in run in one test: the file layer locks what
// it opens, so two processes writing /dev/full at once would refuse each
// other. (The recorder keeps the guard from deleting the device.)
TEST(ExpandDiskFull, WriteFailsAndTheResultIsMinusOne) {
  const FailureCase diskFull = {
      "disk_full", [](Scenario& s) { s.inputBytes = TinyFile(); s.priorOutput = false; s.output = "/dev/full"; },
      Raised::kLzrw1, kWriteError, OutputAfter::kNotChecked, true};
  RunFailure(diskFull, Entry::kExpandCompressedFile);
  RunFailure(diskFull, Entry::kExpandFile);
}

// ---------------------------------------------------------------------------
// Successful expansions.

class ExpandSuccess : public ::testing::Test {
 protected:
  void SetUp() override {
    ExpanderInputName = dir_.File("in.hzl");
    ExpanderOutputName = dir_.File("out.bin");
  }
  TempDir dir_;
};

struct EmptyCase {
  const char* name;
  const char* sizeBytes;
};

constexpr EmptyCase kEmptySizes[] = {
    {"zero", "00 00 00 00"},
    {"minus_one", "FF FF FF FF"},
    {"most_negative", "00 00 00 80"},
    {"minus_sixteen", "F0 FF FF FF"},
};

class ExpandEmpty : public ExpandSuccess, public ::testing::WithParamInterface<EmptyCase> {};
HZL_PRINT_CASE_AS(EmptyCase, name)

// Nothing declared, nothing decoded: the head is all that is read, whatever
// follows it, and the final flush writes nothing.
TEST_P(ExpandEmpty, GivesAnEmptyFileAfterReadingOnlyTheHead) {
  Bytes file = hzltest::Concat(FromHex("21 48 5A 4C"), FromHex(GetParam().sizeBytes));
  file.insert(file.end(), 100, 0xFF);
  WriteFileBytes(ExpanderInputName, file);
  WriteFileBytes(ExpanderOutputName, kPriorOutput);
  FileOpsRecorder files;
  EXPECT_EQ(ExpandFile(), 1);
  EXPECT_EQ(ReadFileBytes(ExpanderOutputName), Bytes{});
  const auto reads = files.CallsOf(FileCall::kRead);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].offset, 0);
  EXPECT_EQ(reads[0].count, 4);
  EXPECT_EQ(reads[1].offset, 4);
  EXPECT_EQ(reads[1].count, 4);
  const auto writes = files.CallsOf(FileCall::kWrite);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].count, 0);
  EXPECT_EQ(writes[0].result, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExpandEmpty, ::testing::ValuesIn(kEmptySizes),
                         [](const auto& p) { return std::string(p.param.name); });

struct BlockCase {
  const char* golden;
  std::vector<std::pair<int64_t, int32_t>> blockReads;  // offset, bytes read
  std::vector<int32_t> writes;
};

const BlockCase kBlockCases[] = {
    {"binary.bin",
     {{8, 32768}, {32776, 32768}, {65544, 32768}, {98312, 32768}, {131080, 18722}, {149802, 0}},
     {32768, 32768, 32768, 32768, 32768, 32768, 32768, 32768, 32768, 5089}},
    {"block-edge.bin", {{8, 31034}, {31042, 0}}, {32768, 32768}},
    {"random.bin", {{8, 32768}, {32776, 32768}, {65544, 4624}, {70168, 0}}, {32768, 32768, 4465}},
    {"tiny.bin", {{8, 3}, {11, 0}}, {2}},
    {"empty.bin", {}, {0}},
};

class ExpandBlocks : public ExpandSuccess, public ::testing::WithParamInterface<BlockCase> {};
HZL_PRINT_CASE_AS(BlockCase, golden)

// Two 4-byte head reads, then whole blocks from offset 8 on, then the one
// read that finds the end; writes of whole blocks and a final flush.
TEST_P(ExpandBlocks, ReadsAndWritesWholeBlocks) {
  const BlockCase& c = GetParam();
  WriteFileBytes(ExpanderInputName, GoldenBytes(std::string(c.golden) + ".hzl"));
  FileOpsRecorder files;
  ASSERT_EQ(ExpandFile(), 1);
  EXPECT_EQ(ReadFileBytes(ExpanderOutputName), GoldenBytes(c.golden));

  const auto reads = files.CallsOf(FileCall::kRead);
  ASSERT_EQ(reads.size(), 2 + c.blockReads.size());
  EXPECT_EQ(reads[0].count, 4);
  EXPECT_EQ(reads[1].count, 4);
  for (size_t i = 0; i < c.blockReads.size(); ++i) {
    const FileCall& r = reads[2 + i];
    EXPECT_EQ(r.offset, c.blockReads[i].first) << "read " << i;
    EXPECT_EQ(r.count, IoBlockSize) << "read " << i;
    EXPECT_EQ(r.result, c.blockReads[i].second) << "read " << i;
  }
  std::vector<int32_t> writes;
  for (const FileCall& w : files.CallsOf(FileCall::kWrite)) writes.push_back(w.count);
  EXPECT_EQ(writes, c.writes);
  // The input is closed first, and both files are flushed before closing.
  const auto closes = files.CallsOf(FileCall::kClose);
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[0].handle, reads[0].handle);
  EXPECT_EQ(files.CallsOf(FileCall::kFlush).size(), 2u);
  EXPECT_TRUE(files.CallsOf(FileCall::kDelete).empty());
}

INSTANTIATE_TEST_SUITE_P(Golden, ExpandBlocks, ::testing::ValuesIn(kBlockCases), [](const auto& p) {
  std::string name = p.param.golden;
  std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
  return name;
});

struct AppendCase {
  const char* golden;
  size_t extra;
};

constexpr AppendCase kAppends[] = {{"tiny.bin", 1}, {"tiny.bin", 100}, {"far.bin", 70000}, {"empty.bin", 5}};

TEST_F(ExpandSuccess, BytesAfterTheStreamChangeNothing) {
  for (const AppendCase& c : kAppends) {
    Bytes file = GoldenBytes(std::string(c.golden) + ".hzl");
    for (size_t i = 0; i < c.extra; ++i) file.push_back(static_cast<uint8_t>(0xFF - (i % 7)));
    WriteFileBytes(ExpanderInputName, file);
    EXPECT_EQ(ExpandFile(), 1) << c.golden << " + " << c.extra;
    EXPECT_EQ(ReadFileBytes(ExpanderOutputName), GoldenBytes(c.golden)) << c.golden << " + " << c.extra;
  }
}

TEST_F(ExpandSuccess, ALongerFileAtTheOutputPathIsReplaced) {
  WriteFileBytes(ExpanderInputName, GoldenBytes("tiny.bin.hzl"));
  WriteFileBytes(ExpanderOutputName, Bytes(100000, 'x'));
  EXPECT_EQ(ExpandFile(), 1);
  EXPECT_EQ(ReadFileBytes(ExpanderOutputName), GoldenBytes("tiny.bin"));
}

struct StreamCase {
  const char* name;
  std::function<Bytes()> file;
  bool expands;
  Bytes output;  // when it expands
};

Bytes FirstMatchFromUnwrittenCells() {
  hzltest::StreamWriter w;
  w.Match(20, 4036);  // starts at cell 4095, still unwritten, then wraps into the spaces
  w.Match(60, 4095);  // starts at cell 4056, the next one output goes to
  w.Literal('Z');
  return Container(81, w.Finish());
}

const StreamCase kStreams[] = {
    {"self_copying_match", [] { return Container(12, FromHex("F6 FB BD F2 40 20")); }, true,
     {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'}},
    {"match_from_spaces", [] { return Container(6, FromHex("8E 00 73 40")); }, true, {' ', ' ', ' ', ' ', ' ', 'A'}},
    {"distance_one_run", [] { return Container(13, FromHex("DB 4A 80 00")); }, true, Bytes(13, 0x2A)},
    {"changing_code", [] { return Container(6, FromHex("E6 E2 E1 C5 7E 00")); }, true, Bytes(6, 0x41)},
    {"match_cut_at_declared_size", [] { return Container(10, FromHex("F6 FB BD F2 40 20")); }, true,
     {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'}},
    {"unwritten_window_cells", FirstMatchFromUnwrittenCells, true,
     hzltest::Concat(Bytes(80, ' '), Bytes{'Z'})},
    {"missing_last_byte", [] { return Container(12, FromHex("F6 FB BD F2 40")); }, false, {}},
    {"declared_beyond_stream", [] { return Container(13, FromHex("F6 FB BD F2 40 20")); }, false, {}},
};

class ExpandStream : public ExpandSuccess, public ::testing::WithParamInterface<StreamCase> {};
HZL_PRINT_CASE_AS(StreamCase, name)

// The decoder's stop rule, end-of-data rule and first window, seen through
// the file expander (which may take its own route through the decoder).
TEST_P(ExpandStream, GivesTheDecodedBytesOrFailsWithoutOutput) {
  const StreamCase& c = GetParam();
  WriteFileBytes(ExpanderInputName, c.file());
  AllocatorRecorder heap(AllocatorFaults{0, 0, 0xA5});
  if (c.expands) {
    ASSERT_EQ(ExpandFile(), 1);
    EXPECT_EQ(ReadFileBytes(ExpanderOutputName), c.output);
  } else {
    EXPECT_EQ(ExpandFile(), -1);
    EXPECT_FALSE(FileExists(ExpanderOutputName));
  }
  EXPECT_EQ(heap.Live(), 0);
}

INSTANTIATE_TEST_SUITE_P(Streams, ExpandStream, ::testing::ValuesIn(kStreams),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExpandSuccess, NamesKeepTheirValuesAfterTheCall) {
  const std::string in = ExpanderInputName;
  const std::string out = ExpanderOutputName;
  WriteFileBytes(in, GoldenBytes("tiny.bin.hzl"));
  EXPECT_EQ(ExpandFile(), 1);
  EXPECT_EQ(ExpanderInputName, in);
  EXPECT_EQ(ExpanderOutputName, out);
}

// Each call starts afresh, whatever the previous one left in the buffers and
// positions, failed or not.
TEST_F(ExpandSuccess, SuccessiveCallsAreIndependent) {
  struct Step {
    const char* file;
    int failReadAt;
    int32_t result;
  };
  const Step steps[] = {
      {"binary.bin", 4, -1},  // fails mid-stream with both buffers part-used
      {"random.bin", 0, 1},
      {"tiny.bin", 0, 1},
      {"leading-spaces.txt", 0, 1},
      {"empty.bin", 0, 1},
      {"tiny.bin", 0, 1},
  };
  AllocatorRecorder heap;
  int call = 0;
  for (const Step& step : steps) {
    ++call;
    WriteFileBytes(ExpanderInputName, GoldenBytes(std::string(step.file) + ".hzl"));
    FileOpsRecorder files(FileFaults{step.failReadAt, -1, 0, -1});
    ASSERT_EQ(ExpandFile(), step.result) << "call " << call;
    if (step.result == 1) {
      EXPECT_EQ(ReadFileBytes(ExpanderOutputName), GoldenBytes(step.file)) << "call " << call;
    } else {
      EXPECT_FALSE(FileExists(ExpanderOutputName)) << "call " << call;
    }
    EXPECT_EQ(heap.Live(), 0);
    // Two fresh I/O buffers per call.
    EXPECT_EQ(std::count(heap.Sizes().begin(), heap.Sizes().end(), static_cast<size_t>(IoBufferSize)), 2 * call);
  }
}

}  // namespace
