// The buffered byte source and sink: block sizes and offsets of the file
// reads and writes, order of bytes across refills, and the end of the data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "buffered_io.h"
#include "file_expander.h"
#include "lzh_exceptions.h"
#include "test_support.h"

namespace {

using hzltest::Bytes;
using hzltest::FileCall;
using hzltest::FileFaults;
using hzltest::FileOpsRecorder;
using hzltest::TempDir;

Bytes Pattern(size_t size) {
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>((i * 131 + i / 509) & 0xFF);
  return out;
}

// Sets up the process-wide state the callbacks work on, as ExpandBody would,
// over a real input file and a real output file.
class BufferedIo : public ::testing::Test {
 protected:
  void OpenInput(const Bytes& contents) {
    ExpanderInputName = dir_.File("in.bin");
    hzltest::WriteFileBytes(ExpanderInputName, contents);
    ExpanderInputHandle = NativeFileOps().OpenExisting(ExpanderInputName);
    ASSERT_GT(ExpanderInputHandle, 0);
    ExpanderInputBuffer = inBuffer_.data();
    ReadCursor = 1;
    ReadFill = 0;
  }
  void CreateOutput() {
    ExpanderOutputName = dir_.File("out.bin");
    ExpanderOutputHandle = NativeFileOps().CreateAlways(ExpanderOutputName);
    ASSERT_GT(ExpanderOutputHandle, 0);
    ExpanderOutputBuffer = outBuffer_.data();
    WriteCursor = 1;
  }
  void TearDown() override {
    if (ExpanderInputHandle > 0) NativeFileOps().Close(ExpanderInputHandle);
    if (ExpanderOutputHandle > 0) NativeFileOps().Close(ExpanderOutputHandle);
    ExpanderInputHandle = ExpanderOutputHandle = 0;
    ExpanderInputBuffer = ExpanderOutputBuffer = nullptr;
  }
  Bytes OutputFile() { return hzltest::ReadFileBytes(ExpanderOutputName); }

  TempDir dir_;
  std::vector<uint8_t> inBuffer_ = std::vector<uint8_t>(IoBufferSize, 0xEE);
  std::vector<uint8_t> outBuffer_ = std::vector<uint8_t>(IoBufferSize, 0xEE);
};

struct ReadPlan {
  const char* name;
  size_t fileSize;
  std::vector<uint16_t> counts;  // requests in order; the last ones run into the end of the file
};

const ReadPlan kReadPlans[] = {
    // 30000 leaves 2768 unread; 5000 then moves them down and reads 30000 more.
    {"straddle_once", 80000, {30000, 5000, 20000, 32768, 32768, 100, 1}},
    {"full_blocks", 70000, {32768, 32768, 32768, 32768}},
    {"odd_sizes", 100000, {1, 32767, 2, 32768, 7, 12345, 32768, 32768, 32768}},
    {"single_bytes_past_a_refill", 32770, std::vector<uint16_t>(32772, 1)},
    {"short_file_big_request", 10, {32768, 1}},
    {"empty_file", 0, {1, 5, 32768}},
};

class BufferedReadPlan : public BufferedIo, public ::testing::WithParamInterface<ReadPlan> {};
HZL_PRINT_CASE_AS(ReadPlan, name)

// Requests of any size get the file's bytes in order, none lost or repeated;
// a request larger than what is left gets the rest, and every request after
// that gets nothing.
TEST_P(BufferedReadPlan, DeliversTheFileInOrder) {
  const ReadPlan& plan = GetParam();
  const Bytes file = Pattern(plan.fileSize);
  OpenInput(file);
  FileOpsRecorder files;
  Bytes delivered;
  for (uint16_t count : plan.counts) {
    std::vector<uint8_t> buffer(count, 0);
    uint16_t actual = 0xBEEF;
    BufferedRead(buffer.data(), count, actual);
    const size_t left = file.size() - delivered.size();
    ASSERT_EQ(actual, std::min<size_t>(count, left)) << "request of " << count;
    delivered.insert(delivered.end(), buffer.begin(), buffer.begin() + actual);
  }
  EXPECT_EQ(delivered, file);
  // Every read asks for what fits after the bytes still unread, never more
  // than a block, and reads the file front to back.
  int64_t expectedOffset = 0;
  for (const FileCall& c : files.CallsOf(FileCall::kRead)) {
    EXPECT_EQ(c.offset, expectedOffset);
    EXPECT_GE(c.count, 1);
    EXPECT_LE(c.count, IoBlockSize);
    expectedOffset += c.result;
  }
  EXPECT_EQ(static_cast<size_t>(expectedOffset), file.size());
}

INSTANTIATE_TEST_SUITE_P(Plans, BufferedReadPlan, ::testing::ValuesIn(kReadPlans),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(BufferedIo, StraddlingRequestMovesTheUnreadBytesAndReadsOnlyWhatFits) {
  const Bytes file = Pattern(80000);
  OpenInput(file);
  FileOpsRecorder files;
  Bytes buffer(32768);
  uint16_t actual = 0;
  BufferedRead(buffer.data(), 30000, actual);
  BufferedRead(buffer.data(), 5000, actual);
  ASSERT_EQ(actual, 5000);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5000), Bytes(file.begin() + 30000, file.begin() + 35000));
  const auto reads = files.CallsOf(FileCall::kRead);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].count, 32768);
  EXPECT_EQ(reads[1].offset, 32768);
  EXPECT_EQ(reads[1].count, 32768 - 2768);
  EXPECT_EQ(ReadFill, 32768);
  EXPECT_EQ(ReadCursor, 5001);
}

TEST_F(BufferedIo, AtTheEndEveryRequestReadsTheFileAgainAndAnswersZero) {
  OpenInput(Pattern(3));
  FileOpsRecorder files;
  uint8_t byte = 0;
  uint16_t actual = 0;
  for (int i = 0; i < 3; ++i) {
    BufferedRead(&byte, 1, actual);
    ASSERT_EQ(actual, 1);
  }
  for (int i = 0; i < 4; ++i) {
    actual = 0xBEEF;
    BufferedRead(&byte, 1, actual);
    EXPECT_EQ(actual, 0);
  }
  // The position stays where the last delivered byte left it.
  EXPECT_EQ(ReadCursor, 4);
  EXPECT_EQ(ReadFill, 0);
  const auto reads = files.CallsOf(FileCall::kRead);
  ASSERT_EQ(reads.size(), 5u);
  EXPECT_EQ(reads[0].result, 3);
  for (size_t i = 1; i < reads.size(); ++i) EXPECT_EQ(reads[i].result, 0);
}

TEST_F(BufferedIo, FailedReadRaisesNamingTheInput) {
  OpenInput(Pattern(100));
  FileOpsRecorder files(FileFaults{1, -1, 0, -1});
  uint8_t byte = 0;
  uint16_t actual = 0;
  try {
    BufferedRead(&byte, 1, actual);
    FAIL() << "no exception";
  } catch (const ELzrw1Exception& e) {
    EXPECT_EQ(e.Message(), "Lzrw1/LZH : READ ERROR ON " + ExpanderInputName + " !");
  }
}

TEST_F(BufferedIo, SinkWritesAFullBlockOnlyWhenByte32769Arrives) {
  CreateOutput();
  FileOpsRecorder files;
  const Bytes data = Pattern(32769);
  uint16_t actual = 0;
  for (size_t i = 0; i < 32768; ++i) {
    uint8_t b = data[i];
    BufferedWrite(&b, 1, actual);
    ASSERT_EQ(actual, 1);
  }
  EXPECT_TRUE(files.CallsOf(FileCall::kWrite).empty());
  EXPECT_EQ(WriteCursor, 32769);
  uint8_t last = data[32768];
  BufferedWrite(&last, 1, actual);
  auto writes = files.CallsOf(FileCall::kWrite);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].count, 32768);
  EXPECT_EQ(WriteCursor, 2);
  BufferedWrite(nullptr, 0, actual);  // final flush
  writes = files.CallsOf(FileCall::kWrite);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1].count, 1);
  EXPECT_EQ(OutputFile(), data);
}

struct WritePlan {
  const char* name;
  std::vector<uint16_t> counts;
  std::vector<int32_t> writes;  // sizes of the file writes, the final flush last
};

const WritePlan kWritePlans[] = {
    {"nothing", {}, {0}},
    {"one_byte", {1}, {1}},
    {"exactly_one_block", {32768}, {32768}},
    {"block_then_one", {32768, 1}, {32768, 1}},
    {"would_overflow", {20000, 20000}, {20000, 20000}},
    {"fills_exactly", {20000, 12768, 5}, {32768, 5}},
    {"after_full_buffer", {1, 32767, 32768, 2}, {32768, 32768, 2}},
};

class BufferedWritePlan : public BufferedIo, public ::testing::WithParamInterface<WritePlan> {};
HZL_PRINT_CASE_AS(WritePlan, name)

TEST_P(BufferedWritePlan, WritesWhenTheNextBytesWouldNotFit) {
  const WritePlan& plan = GetParam();
  CreateOutput();
  FileOpsRecorder files;
  Bytes all;
  for (uint16_t count : plan.counts) {
    Bytes chunk = Pattern(all.size() + count);
    chunk.erase(chunk.begin(), chunk.begin() + static_cast<long>(all.size()));
    uint16_t actual = 0;
    BufferedWrite(chunk.data(), count, actual);
    EXPECT_EQ(actual, count);
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  uint16_t untouched = 0xBEEF;
  BufferedWrite(nullptr, 0, untouched);
  EXPECT_EQ(untouched, 0xBEEF);
  std::vector<int32_t> sizes;
  for (const FileCall& c : files.CallsOf(FileCall::kWrite)) sizes.push_back(c.count);
  EXPECT_EQ(sizes, plan.writes);
  EXPECT_EQ(OutputFile(), all);
}

INSTANTIATE_TEST_SUITE_P(Plans, BufferedWritePlan, ::testing::ValuesIn(kWritePlans),
                         [](const auto& p) { return std::string(p.param.name); });

struct WriteFaultCase {
  const char* name;
  int32_t shortBy;  // -1: the write reports failure
  bool onFlush;     // fail the final flush instead of a full-block write
};

constexpr WriteFaultCase kWriteFaults[] = {
    {"block_write_fails", -1, false},
    {"block_write_short", 1, false},
    {"flush_fails", -1, true},
    {"flush_short", 3, true},
};

class BufferedWriteFault : public BufferedIo, public ::testing::WithParamInterface<WriteFaultCase> {};
HZL_PRINT_CASE_AS(WriteFaultCase, name)

TEST_P(BufferedWriteFault, RaisesNamingTheOutput) {
  const WriteFaultCase& c = GetParam();
  CreateOutput();
  FileOpsRecorder files(FileFaults{0, -1, 1, c.shortBy});
  Bytes data = Pattern(c.onFlush ? 100 : 32769);
  uint16_t actual = 0;
  try {
    for (uint8_t b : data) BufferedWrite(&b, 1, actual);
    BufferedWrite(nullptr, 0, actual);
    FAIL() << "no exception";
  } catch (const ELzrw1Exception& e) {
    EXPECT_EQ(e.Message(), "Lzrw1 : ERROR WRITING TO " + ExpanderOutputName + " !");
  }
  EXPECT_EQ(files.CallsOf(FileCall::kWrite).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, BufferedWriteFault, ::testing::ValuesIn(kWriteFaults),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(CheckWriteCount, OnlyAnEqualCountPasses) {
  ExpanderOutputName = "some/out.bin";
  EXPECT_NO_THROW(CheckWriteCount(5, 5));
  EXPECT_NO_THROW(CheckWriteCount(0, 0));
  for (int32_t actual : {4, -1, 0, 6}) {
    try {
      CheckWriteCount(actual, 5);
      ADD_FAILURE() << "no exception for " << actual;
    } catch (const ELzrw1Exception& e) {
      EXPECT_EQ(e.Message(), "Lzrw1 : ERROR WRITING TO some/out.bin !");
    }
  }
}

}  // namespace
