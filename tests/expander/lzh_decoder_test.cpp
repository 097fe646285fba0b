// LzhUnpack through plain callbacks: hand-made streams, the stop rule, the
// end of the data, the window's first state, and table handling.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "lzh_format.h"
#include "test_support.h"

namespace {

using hzltest::AllocatorFaults;
using hzltest::AllocatorRecorder;
using hzltest::Bytes;
using hzltest::FromHex;
using hzltest::StreamWriter;

// The callbacks have no context, so the recording source and sink keep their
// state here. Each test starts them afresh through Reset().
struct Recording {
  Bytes stream;
  size_t next = 0;
  std::vector<uint16_t> requests;  // count asked for, per source call
  Bytes output;
  std::vector<uint16_t> sinkCounts;
  // Optional misbehaviour.
  enum SourceMode { kDeliver, kNeverDeliver, kGarbageWithZeroCount, kOverReport } sourceMode = kDeliver;
  long throwAfterSinkBytes = -1;  // sink raises on this call (0-based); -1: never
  long throwAtSourceRequest = -1;
};
Recording g_rec;

void Reset(Bytes stream = {}) {
  g_rec = Recording{};
  g_rec.stream = std::move(stream);
}

void RecordingSource(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  const long index = static_cast<long>(g_rec.requests.size());
  g_rec.requests.push_back(count);
  if (index == g_rec.throwAtSourceRequest) throw std::runtime_error("source gave up");
  switch (g_rec.sourceMode) {
    case Recording::kDeliver:
      if (g_rec.next < g_rec.stream.size()) {
        buffer[0] = g_rec.stream[g_rec.next++];
        actual = 1;
      } else {
        actual = 0;
      }
      return;
    case Recording::kNeverDeliver:
      actual = 0;
      return;
    case Recording::kGarbageWithZeroCount:
      buffer[0] = 0xFF;
      actual = 0;
      return;
    case Recording::kOverReport:
      buffer[0] = 0x00;
      actual = 2;
      return;
  }
}

void RecordingSink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  if (static_cast<long>(g_rec.sinkCounts.size()) == g_rec.throwAfterSinkBytes)
    throw std::runtime_error("sink is full");
  g_rec.sinkCounts.push_back(count);
  g_rec.output.insert(g_rec.output.end(), buffer, buffer + count);
  actual = 0;  // the decoder must not care
}

Bytes Repeat(const Bytes& unit, size_t times) {
  Bytes out;
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

struct VectorCase {
  const char* name;
  int32_t declared;
  const char* stream;
  Bytes output;
};

const VectorCase kVectors[] = {
    {"self_copying_match", 12, "F6 FB BD F2 40 20", Repeat({0x61, 0x62, 0x63}, 4)},
    {"first_symbol_match_from_spaces", 6, "8E 00 73 40", {0x20, 0x20, 0x20, 0x20, 0x20, 0x41}},
    {"distance_one_run", 13, "DB 4A 80 00", Bytes(13, 0x2A)},
    {"one_literal_changing_code", 6, "E6 E2 E1 C5 7E 00", Bytes(6, 0x41)},
};

class LzhVector : public ::testing::TestWithParam<VectorCase> {};
HZL_PRINT_CASE_AS(VectorCase, name)

TEST_P(LzhVector, DecodesWithOneByteRequestsAndOneFetchBeyondTheStream) {
  const VectorCase& c = GetParam();
  Reset(FromHex(c.stream));
  LzhUnpack(c.declared, RecordingSource, RecordingSink);
  EXPECT_EQ(g_rec.output, c.output);
  EXPECT_EQ(g_rec.requests.size(), g_rec.stream.size() + 1);
  EXPECT_EQ(g_rec.requests, std::vector<uint16_t>(g_rec.requests.size(), 1));
  EXPECT_EQ(g_rec.sinkCounts, std::vector<uint16_t>(c.output.size(), 1));
}

// Without its last byte every one of these streams needs a bit that never
// came: the decoder must say so instead of inventing zero bits.
TEST_P(LzhVector, WithoutItsLastByteRaisesUnexpectedEnd) {
  const VectorCase& c = GetParam();
  Bytes stream = FromHex(c.stream);
  stream.pop_back();
  Reset(stream);
  try {
    LzhUnpack(c.declared, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Unexpected end of compressed data");
  }
  EXPECT_LT(g_rec.output.size(), c.output.size());
  EXPECT_EQ(Bytes(c.output.begin(), c.output.begin() + static_cast<long>(g_rec.output.size())), g_rec.output);
}

INSTANTIATE_TEST_SUITE_P(Vectors, LzhVector, ::testing::ValuesIn(kVectors),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LzhUnpack, NothingDeclaredMeansNoRequestAndNoOutput) {
  for (int32_t declared : {0, -1, -16, INT32_MIN}) {
    AllocatorRecorder heap;
    Reset(FromHex("F6 FB BD F2 40 20"));
    LzhUnpack(declared, RecordingSource, RecordingSink);
    EXPECT_TRUE(g_rec.requests.empty()) << declared;
    EXPECT_TRUE(g_rec.sinkCounts.empty()) << declared;
    // The tables are still obtained and given back.
    EXPECT_GE(heap.Allocations(), 1) << declared;
    EXPECT_EQ(heap.Live(), 0) << declared;
  }
}

struct StarvedCase {
  const char* name;
  Recording::SourceMode mode;
};

constexpr StarvedCase kStarvedSources[] = {
    {"reports_zero", Recording::kNeverDeliver},
    {"writes_a_byte_but_reports_zero", Recording::kGarbageWithZeroCount},
    {"reports_more_than_asked", Recording::kOverReport},
};

class LzhStarvedSource : public ::testing::TestWithParam<StarvedCase> {};
HZL_PRINT_CASE_AS(StarvedCase, name)

// Only a reported count of exactly 1 delivers a byte; with none delivered the
// very first symbol has nothing to stand on.
TEST_P(LzhStarvedSource, RaisesAtTheFirstSymbolAfterTwoRequests) {
  AllocatorRecorder heap;
  Reset();
  g_rec.sourceMode = GetParam().mode;
  try {
    LzhUnpack(16, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Unexpected end of compressed data");
  }
  EXPECT_EQ(g_rec.requests, (std::vector<uint16_t>{1, 1}));
  EXPECT_TRUE(g_rec.sinkCounts.empty());
  EXPECT_EQ(heap.Live(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sources, LzhStarvedSource, ::testing::ValuesIn(kStarvedSources),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LzhUnpack, StreamCutInsideAPositionCodeRaises) {
  // Literal 'a' (9 bits) then a match whose position code straddles the cut.
  StreamWriter w;
  w.Literal('a');
  w.Match(10, 0);
  Bytes stream = w.Finish();
  ASSERT_EQ(w.BitCount(), 9u + 8u + 9u);
  for (size_t keep = 1; keep < stream.size(); ++keep) {
    Reset(Bytes(stream.begin(), stream.begin() + static_cast<long>(keep)));
    EXPECT_THROW(LzhUnpack(11, RecordingSource, RecordingSink), ElzhException) << keep;
  }
  Reset(stream);
  LzhUnpack(11, RecordingSource, RecordingSink);
  EXPECT_EQ(g_rec.output, Bytes(11, 'a'));
}

struct CutCase {
  const char* name;
  const char* stream;
  int32_t declared;
  Bytes output;
};

const CutCase kCuts[] = {
    {"match_cut_after_one_byte", "F6 FB BD F2 40 20", 10, {0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61}},
    {"match_cut_inside_window_copy", "8E 00 73 40", 3, Bytes(3, 0x20)},
    {"run_cut_short", "DB 4A 80 00", 5, Bytes(5, 0x2A)},
    {"literals_cut", "F6 FB BD F2 40 20", 2, {0x61, 0x62}},
};

class LzhDeclaredSizeCut : public ::testing::TestWithParam<CutCase> {};
HZL_PRINT_CASE_AS(CutCase, name)

TEST_P(LzhDeclaredSizeCut, OutputStopsExactlyAtTheDeclaredSize) {
  const CutCase& c = GetParam();
  Reset(FromHex(c.stream));
  LzhUnpack(c.declared, RecordingSource, RecordingSink);
  EXPECT_EQ(g_rec.output, c.output);
  EXPECT_LE(g_rec.requests.size(), g_rec.stream.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Cuts, LzhDeclaredSizeCut, ::testing::ValuesIn(kCuts),
                         [](const auto& p) { return std::string(p.param.name); });

struct FirstMatchCase {
  const char* name;
  int position;
  int length;
};

constexpr FirstMatchCase kFirstMatches[] = {
    {"filled_cell_0", 0, 3},
    {"filled_cell_4035", 4035, 60},
    {"unwritten_from_4095", 4036, 60},  // starts at cell 4095, then wraps into the spaces
    {"unwritten_from_4036", 4095, 60},  // reads each cell just before writing it
    {"unwritten_middle", 4060, 30},
};

class LzhFirstMatch : public ::testing::TestWithParam<FirstMatchCase> {};
HZL_PRINT_CASE_AS(FirstMatchCase, name)

// The allocator hands out blocks full of 0xA5, so a cell the decoder did not
// set would show.
TEST_P(LzhFirstMatch, CopiesSpaces) {
  const FirstMatchCase& c = GetParam();
  AllocatorRecorder heap(AllocatorFaults{0, 0, 0xA5});
  StreamWriter w;
  w.Match(c.length, c.position);
  w.Literal('Z');
  Reset(w.Finish());
  LzhUnpack(c.length + 1, RecordingSource, RecordingSink);
  Bytes expected(static_cast<size_t>(c.length), 0x20);
  expected.push_back('Z');
  EXPECT_EQ(g_rec.output, expected);
}

INSTANTIATE_TEST_SUITE_P(Positions, LzhFirstMatch, ::testing::ValuesIn(kFirstMatches),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LzhUnpack, Position4095ReachesTheByte4096PlacesBackAndPosition0TheLast) {
  StreamWriter w;
  Bytes expected;
  for (int i = 0; i < RingSize; ++i) {
    const auto b = static_cast<uint8_t>((i * 7 + i / 256) & 0xFF);
    w.Literal(b);
    expected.push_back(b);
  }
  w.Match(5, 4095);  // copies output bytes 0..4
  for (int i = 0; i < 5; ++i) expected.push_back(expected[static_cast<size_t>(i)]);
  w.Match(3, 0);  // repeats the last byte
  for (int i = 0; i < 3; ++i) expected.push_back(expected.back());
  Reset(w.Finish());
  LzhUnpack(static_cast<int32_t>(expected.size()), RecordingSource, RecordingSink);
  EXPECT_EQ(g_rec.output, expected);
  EXPECT_EQ(g_rec.requests.size(), g_rec.stream.size() + 1);
}

TEST(LzhPositionTables, PrefixCodeRanges) {
  struct Range {
    int firstByte, lastByte, firstHigh, perValue, length;
  };
  constexpr Range kRanges[] = {
      {0x00, 0x1F, 0, 32, 3}, {0x20, 0x4F, 1, 16, 4}, {0x50, 0x8F, 4, 8, 5},
      {0x90, 0xBF, 12, 4, 6}, {0xC0, 0xEF, 24, 2, 7}, {0xF0, 0xFF, 48, 1, 8},
  };
  for (const Range& r : kRanges) {
    for (int b = r.firstByte; b <= r.lastByte; ++b) {
      EXPECT_EQ(PosHighTable[static_cast<size_t>(b)], r.firstHigh + (b - r.firstByte) / r.perValue) << b;
      EXPECT_EQ(PosLenTable[static_cast<size_t>(b)], r.length) << b;
    }
  }
}

// ---------------------------------------------------------------------------
// Tables and exceptions on the way out.

TEST(LzhTables, AllocationFailureRaisesBeforeAnyRequest) {
  AllocatorRecorder heap(AllocatorFaults{1, 0, 0});
  Reset(FromHex("F6 FB BD F2 40 20"));
  try {
    LzhUnpack(12, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Cannot get memory for dictionary tables");
  }
  EXPECT_TRUE(g_rec.requests.empty());
  EXPECT_TRUE(g_rec.sinkCounts.empty());
  EXPECT_EQ(heap.Live(), 0);
}

TEST(LzhTables, ReleaseFailureRaisesAfterTheOutputIsComplete) {
  AllocatorRecorder heap(AllocatorFaults{0, 1, 0});
  Reset(FromHex("F6 FB BD F2 40 20"));
  try {
    LzhUnpack(12, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Error freeing memory for dictionary tables");
  }
  EXPECT_EQ(g_rec.output, Repeat({0x61, 0x62, 0x63}, 4));
}

TEST(LzhTables, ReleaseFailureTakesThePlaceOfASinkException) {
  AllocatorRecorder heap(AllocatorFaults{0, 1, 0});
  Reset(FromHex("F6 FB BD F2 40 20"));
  g_rec.throwAfterSinkBytes = 5;
  try {
    LzhUnpack(12, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Error freeing memory for dictionary tables");
  }
  EXPECT_EQ(g_rec.output.size(), 5u);
}

struct CallbackFailureCase {
  const char* name;
  long sinkThrowsAt;    // sink call (0-based) that raises
  long sourceThrowsAt;  // source request (0-based) that raises
  size_t bytesSent;
};

constexpr CallbackFailureCase kCallbackFailures[] = {
    {"sink_inside_match", 4, -1, 4},   // the match of vector 1 starts at byte 3
    {"sink_first_byte", 0, -1, 0},
    {"source_at_start", -1, 0, 0},
    {"source_inside_stream", -1, 4, 2},  // byte 4 is first needed by the third literal
};

class LzhCallbackFailure : public ::testing::TestWithParam<CallbackFailureCase> {};
HZL_PRINT_CASE_AS(CallbackFailureCase, name)

TEST_P(LzhCallbackFailure, SameExceptionReachesTheCallerAndTablesAreReleased) {
  const CallbackFailureCase& c = GetParam();
  AllocatorRecorder heap;
  Reset(FromHex("F6 FB BD F2 40 20"));
  g_rec.throwAfterSinkBytes = c.sinkThrowsAt;
  g_rec.throwAtSourceRequest = c.sourceThrowsAt;
  try {
    LzhUnpack(12, RecordingSource, RecordingSink);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), c.sinkThrowsAt >= 0 ? "sink is full" : "source gave up");
  }
  const Bytes full = Repeat({0x61, 0x62, 0x63}, 4);
  EXPECT_EQ(g_rec.output, Bytes(full.begin(), full.begin() + static_cast<long>(c.bytesSent)));
  EXPECT_GE(heap.Allocations(), 1);
  EXPECT_EQ(heap.Live(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, LzhCallbackFailure, ::testing::ValuesIn(kCallbackFailures),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LzhUnpack, CallsAreIndependent) {
  // A failed decoding in the middle leaves nothing behind for the next.
  Reset(FromHex("DB 4A 80"));
  EXPECT_THROW(LzhUnpack(13, RecordingSource, RecordingSink), ElzhException);
  for (const VectorCase& c : kVectors) {
    Reset(FromHex(c.stream));
    LzhUnpack(c.declared, RecordingSource, RecordingSink);
    EXPECT_EQ(g_rec.output, c.output) << c.name;
  }
}

}  // namespace
