// The buffered loop that LzhUnpack runs for the file expander's own source
// and sink, against the reference loop that every other caller gets: on the
// same input both must leave everything the same — the output file or its
// absence, the exception and its message, every file call in order with its
// offset, size and result, and the buffer positions afterwards.
//
// Inputs: the reference streams, the fuzz corpus, round trips through the
// compressor, random and cut streams, streams built symbol by symbol for the
// edges of the 32 KB blocks and the window, and injected read and write
// failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "buffered_io.h"
#include "file_expander.h"
#include "hzl_compressor.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "lzh_fast_decoder.h"
#include "lzh_format.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using hzltest::Bytes;
using hzltest::Container;
using hzltest::FileCall;
using hzltest::FileFaults;
using hzltest::FileOpsRecorder;
using hzltest::StreamWriter;
using hzltest::TempDir;

constexpr size_t kBlock = IoBlockSize;
const char* const kTruncated = "LZH : Unexpected end of compressed data";

// ---------------------------------------------------------------------------
// One expansion and everything it leaves that can be seen.

struct Call {
  FileCall::Kind kind;
  int64_t offset;
  int32_t count;
  int32_t result;
  std::string path;
  bool operator==(const Call& o) const {
    return kind == o.kind && offset == o.offset && count == o.count && result == o.result && path == o.path;
  }
};

std::string Describe(const Call& c) {
  static const char* const kNames[] = {"open", "create", "read", "write", "flush", "close", "delete"};
  std::ostringstream s;
  s << kNames[c.kind] << "(offset " << c.offset << ", count " << c.count << ") = " << c.result;
  if (!c.path.empty()) s << " " << c.path;
  return s.str();
}

struct Outcome {
  std::string raised;  // class name and message; empty when it went through
  bool outputExists = false;
  Bytes output;
  std::vector<Call> calls;
  uint16_t readCursor = 0;
  int32_t readFill = 0;
  uint16_t writeCursor = 0;
};

// Where two outcomes part, or "" when they do not.
std::string Difference(const Outcome& ref, const Outcome& fast) {
  std::ostringstream s;
  if (ref.raised != fast.raised) s << "raised: reference \"" << ref.raised << "\", buffered \"" << fast.raised << "\"\n";
  if (ref.outputExists != fast.outputExists) s << "output file left: reference " << ref.outputExists << "\n";
  if (ref.output != fast.output) {
    const size_t n = std::min(ref.output.size(), fast.output.size());
    size_t at = 0;
    while (at < n && ref.output[at] == fast.output[at]) ++at;
    s << "output: sizes " << ref.output.size() << " and " << fast.output.size() << ", first difference at " << at
      << "\n";
  }
  if (ref.calls != fast.calls) {
    size_t at = 0;
    while (at < ref.calls.size() && at < fast.calls.size() && ref.calls[at] == fast.calls[at]) ++at;
    s << "file calls: " << ref.calls.size() << " and " << fast.calls.size() << ", first difference at call " << at
      << ": reference " << (at < ref.calls.size() ? Describe(ref.calls[at]) : "none") << ", buffered "
      << (at < fast.calls.size() ? Describe(fast.calls[at]) : "none") << "\n";
  }
  if (ref.readCursor != fast.readCursor || ref.readFill != fast.readFill || ref.writeCursor != fast.writeCursor)
    s << "cursors: reference " << ref.readCursor << "/" << ref.readFill << "/" << ref.writeCursor << ", buffered "
      << fast.readCursor << "/" << fast.readFill << "/" << fast.writeCursor << "\n";
  return s.str();
}

// Switches the buffered loop on or off for one scope.
class FastPathSwitch {
 public:
  explicit FastPathSwitch(bool enabled) { SetBufferedFastPathEnabled(enabled); }
  ~FastPathSwitch() { SetBufferedFastPathEnabled(true); }
  FastPathSwitch(const FastPathSwitch&) = delete;
  FastPathSwitch& operator=(const FastPathSwitch&) = delete;
};

Outcome Expand(const TempDir& dir, const Bytes& file, bool fast, const FileFaults& faults) {
  ExpanderInputName = dir.File("setup.ex_");
  ExpanderOutputName = dir.File("setup.exe");
  hzltest::WriteFileBytes(ExpanderInputName, file);
  std::error_code ignored;
  fs::remove(ExpanderOutputName, ignored);
  // Positions no decoding would leave, so one that is not set shows.
  ReadCursor = 777;
  ReadFill = 777;
  WriteCursor = 777;

  Outcome o;
  {
    FastPathSwitch path(fast);
    FileOpsRecorder files(faults);
    try {
      ExpandCompressedFile();
    } catch (const Exception& e) {
      o.raised = std::string(e.ClassName()) + ": " + e.Message();
    }
    for (const FileCall& c : files.Calls()) o.calls.push_back({c.kind, c.offset, c.count, c.result, c.path});
  }
  o.readCursor = ReadCursor;
  o.readFill = ReadFill;
  o.writeCursor = WriteCursor;
  o.outputExists = hzltest::FileExists(ExpanderOutputName);
  if (o.outputExists) o.output = hzltest::ReadFileBytes(ExpanderOutputName);
  return o;
}

// Expands `file` on both paths; the test fails where they part. Returns the
// buffered path's outcome for further checks.
Outcome ExpectSameOnBothPaths(const Bytes& file, const FileFaults& faults = {}) {
  TempDir dir;
  const Outcome ref = Expand(dir, file, false, faults);
  const Outcome fast = Expand(dir, file, true, faults);
  const std::string difference = Difference(ref, fast);
  EXPECT_EQ(difference, "");
  return fast;
}

// Test names from the cases' names.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

// ---------------------------------------------------------------------------
// Inputs.

Bytes Head(int32_t declared) { return Container(declared, {}); }

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Text-like data: words from a small vocabulary with CRLF lines.
Bytes Words(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  static const char* const kWords[] = {"der", "die", "und", "the", "of", "Zeit", "Haus", "install", "Setup",
                                      "window", "Programm", "file", "Datei", "copy", "Fenster", "ist"};
  std::string text;
  while (text.size() < n) {
    text += kWords[rng() % 16];
    text += (rng() % 11 == 0) ? "\r\n" : " ";
  }
  text.resize(n);
  return Bytes(text.begin(), text.end());
}

// Binary-like data: runs, repeated records with small changes and noise.
Bytes Records(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    switch (rng() % 4) {
      case 0: b.insert(b.end(), 1 + rng() % 300, static_cast<uint8_t>(rng() % 3 == 0 ? 0xCC : 0)); break;
      case 1:
        for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(i < 4 ? rng() % 8 : 0x40 + i));
        break;
      case 2: b.push_back(static_cast<uint8_t>(rng())); break;
      default:
        if (b.size() > 100) {
          const size_t from = b.size() - 1 - rng() % std::min<size_t>(b.size() - 1, 4095);
          const size_t len = 3 + rng() % 80;
          for (size_t k = 0; k < len; ++k) b.push_back(b[from + k]);
        }
        break;
    }
  }
  b.resize(n);
  return b;
}

// Program-like data with stretches of noise: compresses to several blocks of
// the byte source.
Bytes RecordsAndNoise(size_t n, uint32_t seed) {
  Bytes b;
  while (b.size() < n) {
    b = hzltest::Concat(b, Records(20000, seed++));
    b = hzltest::Concat(b, RandomBytes(12000, seed++));
  }
  b.resize(n);
  return b;
}

Bytes Compress(const Bytes& data, int level) { return CompressToContainer(data.data(), data.size(), level); }

// A stream of `literals` random literals and then `matches` random matches,
// written symbol by symbol; the window starts as spaces, so any position
// is fair from the start.
Bytes SymbolStream(int literals, int matches, uint32_t seed, int32_t& produced) {
  std::mt19937 rng(seed);
  StreamWriter w;
  produced = 0;
  for (int i = 0; i < literals; ++i, ++produced) w.Literal(static_cast<uint8_t>(rng()));
  for (int i = 0; i < matches; ++i) {
    const int length = MinMatch + static_cast<int>(rng() % (MaxMatch - MinMatch + 1));
    w.Match(length, static_cast<int>(rng() % RingSize));
    produced += length;
  }
  return w.Finish();
}

// ---------------------------------------------------------------------------

TEST(FastPathDispatch, OnlyTheExpandersOwnCallbacksTakeTheBufferedLoop) {
  auto otherSource = [](uint8_t* b, uint16_t c, uint16_t& a) { BufferedRead(b, c, a); };
  auto otherSink = [](uint8_t* b, uint16_t c, uint16_t& a) { BufferedWrite(b, c, a); };
  EXPECT_TRUE(UsesBufferedFastPath(BufferedRead, BufferedWrite));
  EXPECT_FALSE(UsesBufferedFastPath(otherSource, BufferedWrite));
  EXPECT_FALSE(UsesBufferedFastPath(BufferedRead, otherSink));
  {
    FastPathSwitch off(false);
    EXPECT_FALSE(UsesBufferedFastPath(BufferedRead, BufferedWrite));
  }
  EXPECT_TRUE(UsesBufferedFastPath(BufferedRead, BufferedWrite));
}

// A caller's own callbacks keep the one-byte contract, even when they only
// pass the expander's on.
int g_sourceCalls = 0;
int g_sinkCalls = 0;
bool g_onlyOneByte = true;
void CountingSource(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  ++g_sourceCalls;
  g_onlyOneByte = g_onlyOneByte && count == 1;
  BufferedRead(buffer, count, actual);
}
void CountingSink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  ++g_sinkCalls;
  g_onlyOneByte = g_onlyOneByte && count == 1;
  BufferedWrite(buffer, count, actual);
}

// Sets the expander's process-wide state up by hand, as ExpandCompressedFile
// does, for tests that call LzhUnpack on it directly: both buffers, the input
// opened and the output created, the cursors at the start. Gives everything
// back on every way out, failed assertions included.
class ExpanderStateByHand {
 public:
  ExpanderStateByHand() {
    const BlockAllocator& heap = CurrentBlockAllocator();
    ExpanderInputBuffer = static_cast<uint8_t*>(heap.Allocate(IoBufferSize));
    ExpanderOutputBuffer = static_cast<uint8_t*>(heap.Allocate(IoBufferSize));
    ExpanderInputHandle = CurrentFileOps().OpenExisting(ExpanderInputName);
    ExpanderOutputHandle = CurrentFileOps().CreateAlways(ExpanderOutputName);
    ReadCursor = 1;
    ReadFill = 0;
    WriteCursor = 1;
  }
  ~ExpanderStateByHand() {
    if (ExpanderInputHandle > 0) CurrentFileOps().Close(ExpanderInputHandle);
    if (ExpanderOutputHandle > 0) CurrentFileOps().Close(ExpanderOutputHandle);
    ExpanderInputHandle = ExpanderOutputHandle = 0;
    const BlockAllocator& heap = CurrentBlockAllocator();
    (void)heap.Release(ExpanderInputBuffer);
    (void)heap.Release(ExpanderOutputBuffer);
    ExpanderInputBuffer = ExpanderOutputBuffer = nullptr;
  }
  ExpanderStateByHand(const ExpanderStateByHand&) = delete;
  ExpanderStateByHand& operator=(const ExpanderStateByHand&) = delete;
};

TEST(FastPathDispatch, WrappedCallbacksAreCalledOncePerByte) {
  const Bytes data = Words(70000, 3);
  const Bytes file = Compress(data, 6);
  TempDir dir;
  hzltest::WriteFileBytes(dir.File("in"), file);
  ExpanderInputName = dir.File("in");
  ExpanderOutputName = dir.File("out");
  FileOpsRecorder files;
  {
    ExpanderStateByHand state;
    ASSERT_GT(ExpanderInputHandle, 0);
    ASSERT_GT(ExpanderOutputHandle, 0);
    uint8_t head[8];
    ASSERT_EQ(CurrentFileOps().Read(ExpanderInputHandle, head, 8), 8);
    g_sourceCalls = g_sinkCalls = 0;
    g_onlyOneByte = true;
    LzhUnpack(static_cast<int32_t>(data.size()), CountingSource, CountingSink);
    uint16_t unused = 0;
    BufferedWrite(ExpanderOutputBuffer, 0, unused);
  }

  EXPECT_TRUE(g_onlyOneByte);
  EXPECT_EQ(g_sinkCalls, static_cast<int>(data.size()));
  EXPECT_EQ(g_sourceCalls, static_cast<int>(file.size() - 8 + 1));  // one request past a complete stream
  EXPECT_EQ(hzltest::ReadFileBytes(ExpanderOutputName), data);
}

// ---------------------------------------------------------------------------
// The reference streams.

std::vector<std::string> GoldenStreams() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(hzltest::GoldenDir(), ec))
    if (entry.is_regular_file() && entry.path().extension() == ".hzl") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FastPathGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(FastPathGolden, SameAsReferenceAndTheOriginal) {
  const std::string& name = GetParam();
  const Outcome fast = ExpectSameOnBothPaths(hzltest::GoldenBytes(name));
  EXPECT_EQ(fast.raised, "");
  EXPECT_TRUE(fast.output == hzltest::GoldenBytes(name.substr(0, name.size() - 4))) << name;
}

std::string FileNameOf(const ::testing::TestParamInfo<std::string>& param) {
  std::string s = fs::path(param.param).filename().string();
  for (char& c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return s + "_" + std::to_string(param.index);
}

INSTANTIATE_TEST_SUITE_P(ReferenceStreams, FastPathGolden, ::testing::ValuesIn(GoldenStreams()), FileNameOf);

TEST(FastPathGoldenFolder, IsNotEmpty) { EXPECT_GE(GoldenStreams().size(), 5u) << hzltest::GoldenDir(); }

// ---------------------------------------------------------------------------
// The fuzz corpus: files for ExpandFile as they are, the decoder's inputs
// (declared size in the first 4 bytes, then the stream) put behind a head the
// way its target reads them, and the compressor's inputs (level byte, shape
// byte, data) compressed at their level.

fs::path CorpusDir(const char* target) { return fs::path(HZL_SOURCE_DIR) / "fuzz" / "corpus" / target; }

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const char* target : {"fuzz_expand_file", "fuzz_lzh_unpack", "fuzz_compress_round_trip"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(CorpusDir(target), ec))
      if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Bytes CorpusInput(const std::string& path) {
  Bytes bytes = hzltest::ReadFileBytes(path);
  const fs::path target = fs::path(path).parent_path().filename();
  if (target == "fuzz_compress_round_trip") {
    const int level = bytes.empty() ? kDefaultLevel : 1 + bytes[0] % 9;
    return Compress(Bytes(bytes.begin() + static_cast<long>(std::min<size_t>(bytes.size(), 2)), bytes.end()), level);
  }
  if (target != "fuzz_lzh_unpack" || bytes.size() < 4) return bytes;
  const uint32_t raw = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
  int32_t declared = static_cast<int32_t>(raw);
  if (declared > 0) declared %= 1 << 20;
  return Container(declared, Bytes(bytes.begin() + 4, bytes.end()));
}

class FastPathCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(FastPathCorpus, SameAsReference) { ExpectSameOnBothPaths(CorpusInput(GetParam())); }

INSTANTIATE_TEST_SUITE_P(FuzzCorpus, FastPathCorpus, ::testing::ValuesIn(CorpusFiles()), FileNameOf);

TEST(FastPathCorpusFolder, IsNotEmpty) { EXPECT_FALSE(CorpusFiles().empty()) << CorpusDir("fuzz_expand_file"); }

// ---------------------------------------------------------------------------
// Round trips through the compressor, with sizes on and around the block
// edges of both the output and the compressed input.

struct RoundTrip {
  const char* name;
  std::function<Bytes()> data;
  int level;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

const RoundTrip kRoundTrips[] = {
    {"empty", [] { return Bytes(); }, 6},
    {"one_byte", [] { return Bytes{'x'}; }, 6},
    {"words_small", [] { return Words(1000, 1); }, 6},
    {"words_block_minus_1", [] { return Words(kBlock - 1, 2); }, 6},
    {"words_block", [] { return Words(kBlock, 3); }, 6},
    {"words_block_plus_1", [] { return Words(kBlock + 1, 4); }, 6},
    {"words_two_blocks", [] { return Words(2 * kBlock, 5); }, 1},
    {"words_long_level_9", [] { return Words(300000, 6); }, 9},
    {"records_long", [] { return Records(400000, 7); }, 6},
    {"records_level_1", [] { return Records(150000, 8); }, 1},
    {"zeros_long_matches", [] { return Bytes(3 * kBlock + 17, 0); }, 6},
    {"spaces_like_the_window", [] { return Bytes(5000, ' '); }, 6},
    {"noise_mostly_literals", [] { return RandomBytes(100000, 9); }, 6},
    {"noise_then_repeat_far", [] {
       Bytes b = RandomBytes(4096, 10);
       const Bytes copy = b;
       b.insert(b.end(), copy.begin(), copy.end());
       return hzltest::Concat(b, RandomBytes(kBlock, 11));
     }, 9},
};

class FastPathRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(FastPathRoundTrip, SameAsReferenceAndTheOriginal) {
  const Bytes data = GetParam().data();
  const Outcome fast = ExpectSameOnBothPaths(Compress(data, GetParam().level));
  EXPECT_EQ(fast.raised, "");
  EXPECT_TRUE(fast.output == data);
}

INSTANTIATE_TEST_SUITE_P(Compressor, FastPathRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         CaseName<RoundTrip>);

// Random seeds and sizes, many small and a few over several blocks.
TEST(FastPathRoundTripSeries, RandomDataAndSizes) {
  std::mt19937 rng(2024);
  for (int i = 0; i < 40; ++i) {
    const size_t size = i < 30 ? rng() % 5000 : 60000 + rng() % 80000;
    const auto seed = static_cast<uint32_t>(rng());
    const Bytes data = i % 2 ? Words(size, seed) : Records(size, seed);
    SCOPED_TRACE("case " + std::to_string(i) + ", " + std::to_string(size) + " bytes");
    const Outcome fast = ExpectSameOnBothPaths(Compress(data, 1 + i % 9));
    EXPECT_TRUE(fast.output == data);
  }
}

// ---------------------------------------------------------------------------
// The compressed input around its block edges: a stream whose last byte, or
// the one fetch beyond it, lands on either side of a 32768-byte block of the
// byte source (the source's blocks start at offset 8 of the file). Bytes
// after the stream are read with its block but never used.

// A complete stream of exactly `streamBytes` bytes (its last byte holds its
// last code bit) of random literals and matches, then `appended` bytes.
Bytes StreamOfLength(size_t streamBytes, size_t appended, uint8_t fill) {
  for (uint32_t seed = 1; seed < 50; ++seed) {
    std::mt19937 rng(seed);
    StreamWriter w;
    int32_t produced = 0;
    while ((w.BitCount() + 7) / 8 < streamBytes) {
      if (rng() % 4 == 0) {
        const int length = MinMatch + static_cast<int>(rng() % 20);
        w.Match(length, static_cast<int>(rng() % RingSize));
        produced += length;
      } else {
        w.Literal(static_cast<uint8_t>(rng()));
        ++produced;
      }
    }
    if ((w.BitCount() + 7) / 8 == streamBytes)
      return hzltest::Concat(Container(produced, w.Finish()), Bytes(appended, fill));
  }
  return {};
}

struct EdgeCase {
  const char* name;
  size_t streamBytes;
  size_t appended;
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

const EdgeCase kInputEdges[] = {
    {"ends_one_before_the_block_edge", kBlock - 1, 0},
    {"ends_on_the_block_edge", kBlock, 0},
    {"ends_one_after_the_block_edge", kBlock + 1, 0},
    {"ends_on_the_block_edge_with_bytes_after", kBlock, 5},
    {"ends_before_the_edge_bytes_fill_the_block", kBlock - 2, 2},
    {"ends_on_the_second_edge", 2 * kBlock, 0},
    {"ends_two_after_the_second_edge", 2 * kBlock + 2, 0},
};

class FastPathInputEdge : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(FastPathInputEdge, SameAsReference) {
  const Bytes file = StreamOfLength(GetParam().streamBytes, GetParam().appended, 0x5A);
  ASSERT_EQ(file.size(), 8 + GetParam().streamBytes + GetParam().appended) << "no stream of that length found";
  const Outcome fast = ExpectSameOnBothPaths(file);
  EXPECT_EQ(fast.raised, "");
}

INSTANTIATE_TEST_SUITE_P(Blocks, FastPathInputEdge, ::testing::ValuesIn(kInputEdges),
                         CaseName<EdgeCase>);

// ---------------------------------------------------------------------------
// Cut streams: the truncation error must come up at the same request, with
// the same file reads behind it, wherever the stream ends — in particular
// just before, on and after the edges of the source's blocks.

TEST(FastPathTruncated, EveryCutAroundTheBlockEdges) {
  const Bytes full = Compress(RecordsAndNoise(200000, 21), 6);
  ASSERT_GT(full.size(), 8 + 2 * kBlock + 64);
  std::vector<size_t> cuts;  // stream bytes kept
  for (size_t edge : {size_t{0}, kBlock, 2 * kBlock})
    for (size_t k = 0; k < 24; ++k) {
      if (edge + k >= 12) cuts.push_back(edge + k - 12);
    }
  for (size_t keep : {size_t{1}, size_t{2}, size_t{3}, full.size() - 8 - 1, full.size() - 8 - 2}) cuts.push_back(keep);
  for (size_t keep : cuts) {
    SCOPED_TRACE("stream cut to " + std::to_string(keep) + " bytes");
    const Bytes cut(full.begin(), full.begin() + static_cast<long>(8 + keep));
    const Outcome fast = ExpectSameOnBothPaths(cut);
    EXPECT_EQ(fast.raised, std::string("ElzhException: ") + kTruncated);
    EXPECT_FALSE(fast.outputExists);
  }
}

// Random bytes as a stream: corrupt input decodes deterministically to
// something, or runs out of data. Declared sizes from tiny to several blocks.
TEST(FastPathCorrupt, RandomStreams) {
  std::mt19937 rng(99);
  int finished = 0;
  int truncated = 0;
  for (int i = 0; i < 60; ++i) {
    const size_t streamBytes = i < 40 ? rng() % 3000 : 40000 + rng() % 70000;
    const auto declared = static_cast<int32_t>(i % 3 == 0 ? rng() % 64 : rng() % (4 * streamBytes + 70000));
    SCOPED_TRACE("case " + std::to_string(i));
    const Outcome fast = ExpectSameOnBothPaths(Container(declared, RandomBytes(streamBytes, static_cast<uint32_t>(i))));
    if (fast.raised.empty()) ++finished;
    else ++truncated;
  }
  // The series must hold both kinds of ending to test both.
  EXPECT_GT(finished, 5);
  EXPECT_GT(truncated, 5);
}

// ---------------------------------------------------------------------------
// Streams built symbol by symbol.

struct BuiltCase {
  const char* name;
  std::function<Bytes()> file;
  bool finishes;
};

void PrintTo(const BuiltCase& c, std::ostream* os) { *os << c.name; }

Bytes LiteralsThen(size_t literals, const std::function<void(StreamWriter&, int32_t&)>& more) {
  StreamWriter w;
  std::mt19937 rng(static_cast<uint32_t>(literals));
  auto produced = static_cast<int32_t>(literals);
  for (size_t i = 0; i < literals; ++i) w.Literal(static_cast<uint8_t>('a' + rng() % 20));
  more(w, produced);
  return Container(produced, w.Finish());
}

const BuiltCase kBuilt[] = {
    {"first_match_from_unwritten_cells",
     [] {
       StreamWriter w;
       w.Match(60, 4095);
       w.Match(60, 4000);
       w.Literal('Q');
       return Container(121, w.Finish());
     },
     true},
    {"match_across_the_output_block_edge",
     [] {
       return LiteralsThen(kBlock - 30, [](StreamWriter& w, int32_t& n) {
         w.Match(60, 100);
         n += 60;
       });
     },
     true},
    {"match_reaching_back_past_the_block_start",
     [] {
       return LiteralsThen(kBlock + 10, [](StreamWriter& w, int32_t& n) {
         for (int pos : {4095, 4000, 20, 11, 9, 0}) {
           w.Match(MaxMatch, pos);
           n += MaxMatch;
         }
       });
     },
     true},
    {"match_cut_at_the_declared_size_on_the_block_edge",
     [] {
       Bytes file = LiteralsThen(kBlock - 2, [](StreamWriter& w, int32_t& n) {
         w.Match(MaxMatch, 0);
         n += MaxMatch;
       });
       const uint32_t declared = kBlock + 1;  // the match is cut three bytes past the block
       for (int i = 0; i < 4; ++i) file[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(declared >> (8 * i));
       return file;
     },
     true},
    {"output_exactly_two_blocks",
     [] {
       return LiteralsThen(2 * kBlock - 60, [](StreamWriter& w, int32_t& n) {
         w.Match(MaxMatch, 1234);
         n += MaxMatch;
       });
     },
     true},
    {"random_symbols",
     [] {
       int32_t produced = 0;
       const Bytes stream = SymbolStream(500, 3000, 5, produced);
       return Container(produced, stream);
     },
     true},
    {"random_symbols_declared_short",
     [] {
       int32_t produced = 0;
       const Bytes stream = SymbolStream(100, 4000, 6, produced);
       return Container(produced / 2, stream);
     },
     true},
    {"random_symbols_declared_long",
     [] {
       int32_t produced = 0;
       const Bytes stream = SymbolStream(100, 2000, 7, produced);
       return Container(produced + 5000, stream);
     },
     false},
    {"declared_zero_with_a_stream", [] { return Container(0, Bytes(100, 0xAB)); }, true},
    {"declared_negative", [] { return Container(-1, Bytes(100, 0xAB)); }, true},
    {"declared_but_no_stream", [] { return Head(70000); }, false},
    {"zero_bits_then_end", [] { return Container(70000, Bytes(50, 0)); }, false},
};

class FastPathBuilt : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(FastPathBuilt, SameAsReference) {
  const Outcome fast = ExpectSameOnBothPaths(GetParam().file());
  EXPECT_EQ(fast.raised.empty(), GetParam().finishes) << fast.raised;
}

INSTANTIATE_TEST_SUITE_P(Streams, FastPathBuilt, ::testing::ValuesIn(kBuilt),
                         CaseName<BuiltCase>);

// ---------------------------------------------------------------------------
// Failing file calls in the middle of a decoding: the exception comes up at
// the same call, after the same reads and writes.

struct FaultCase {
  const char* name;
  FileFaults faults;
  const char* raisedClass;  // nullptr: whatever the decoder makes of it
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const FaultCase kFaults[] = {
    {"first_block_read_fails", {3, -1, 0, -1}, "ELzrw1Exception"},
    {"second_block_read_fails", {4, -1, 0, -1}, "ELzrw1Exception"},
    {"third_block_read_fails", {5, -1, 0, -1}, "ELzrw1Exception"},
    {"second_block_read_comes_up_short", {4, 100, 0, -1}, nullptr},
    // A read that reports no byte while the file goes on: the next request
    // reads the file again and gets bytes, which no longer count as data.
    {"first_block_read_reports_nothing", {3, 0, 0, -1}, "ElzhException"},
    {"second_block_read_reports_nothing", {4, 0, 0, -1}, "ElzhException"},
    {"first_block_write_fails", {0, -1, 1, -1}, "ELzrw1Exception"},
    {"third_block_write_short", {0, -1, 3, 1}, "ELzrw1Exception"},
    {"final_flush_fails", {0, -1, 7, -1}, "ELzrw1Exception"},
};

class FastPathFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FastPathFault, SameAsReference) {
  static const Bytes file = Compress(RecordsAndNoise(6 * kBlock + 1000, 31), 6);  // 7 output blocks, 3+ input blocks
  ASSERT_GT(file.size(), 8 + 2 * kBlock);
  const Outcome fast = ExpectSameOnBothPaths(file, GetParam().faults);
  if (GetParam().raisedClass) {
    EXPECT_EQ(fast.raised.substr(0, fast.raised.find(':')), GetParam().raisedClass);
    EXPECT_FALSE(fast.outputExists);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, FastPathFault, ::testing::ValuesIn(kFaults),
                         CaseName<FaultCase>);

// ---------------------------------------------------------------------------
// LzhUnpack with the expander's callbacks but not from ExpandBody: two
// streams one after the other in one file, the second decoding starting with
// whatever the first left in both buffers. A byte between them is the one
// the first decoding fetches beyond its stream.

struct Leftovers {
  Bytes output;
  std::vector<Call> calls;
  std::string raised;
  uint16_t readCursor;
  int32_t readFill;
  uint16_t writeCursor;
};

Leftovers TwoDecodings(const TempDir& dir, const Bytes& first, int32_t firstSize, const Bytes& second,
                       int32_t secondSize, bool fast) {
  ExpanderInputName = dir.File("in");
  ExpanderOutputName = dir.File("out");
  hzltest::WriteFileBytes(ExpanderInputName, hzltest::Concat(hzltest::Concat(first, Bytes{0x00}), second));
  Leftovers r;
  {
    FastPathSwitch path(fast);
    FileOpsRecorder files;
    {
      ExpanderStateByHand state;
      try {
        LzhUnpack(firstSize, BufferedRead, BufferedWrite);
        LzhUnpack(secondSize, BufferedRead, BufferedWrite);
        uint16_t unused = 0;
        BufferedWrite(ExpanderOutputBuffer, 0, unused);
      } catch (const Exception& e) {
        r.raised = e.Message();
      }
    }
    for (const FileCall& c : files.Calls()) r.calls.push_back({c.kind, c.offset, c.count, c.result, c.path});
  }
  r.readCursor = ReadCursor;
  r.readFill = ReadFill;
  r.writeCursor = WriteCursor;
  r.output = hzltest::ReadFileBytes(ExpanderOutputName);
  return r;
}

struct TwoStreamsCase {
  const char* name;
  size_t firstData;
  size_t secondData;
  bool cutSecond;
};

void PrintTo(const TwoStreamsCase& c, std::ostream* os) { *os << c.name; }

const TwoStreamsCase kTwoStreams[] = {
    {"both_small", 3000, 2000, false},
    {"first_ends_mid_block", 50000, 90000, false},
    {"second_runs_out", 20000, 60000, true},
};

class FastPathTwoDecodings : public ::testing::TestWithParam<TwoStreamsCase> {};

TEST_P(FastPathTwoDecodings, SameAsReference) {
  const TwoStreamsCase& c = GetParam();
  const Bytes a = Words(c.firstData, 41);
  const Bytes b = Records(c.secondData, 42);
  const Bytes sa = Compress(a, 6);
  Bytes sb = Compress(b, 6);
  if (c.cutSecond) sb.resize(sb.size() / 2);
  const Bytes first(sa.begin() + 8, sa.end());
  const Bytes second(sb.begin() + 8, sb.end());
  const auto sizeA = static_cast<int32_t>(a.size());
  const auto sizeB = static_cast<int32_t>(b.size());
  TempDir dir;
  const Leftovers ref = TwoDecodings(dir, first, sizeA, second, sizeB, false);
  const Leftovers fast = TwoDecodings(dir, first, sizeA, second, sizeB, true);
  EXPECT_EQ(ref.raised, fast.raised);
  EXPECT_TRUE(ref.output == fast.output);
  EXPECT_TRUE(ref.calls == fast.calls);
  EXPECT_EQ(ref.readCursor, fast.readCursor);
  EXPECT_EQ(ref.readFill, fast.readFill);
  EXPECT_EQ(ref.writeCursor, fast.writeCursor);
  if (!c.cutSecond) {
    EXPECT_EQ(fast.raised, "");
    EXPECT_TRUE(fast.output == hzltest::Concat(a, b));
  } else {
    EXPECT_EQ(fast.raised, kTruncated);
  }
}

INSTANTIATE_TEST_SUITE_P(Leftovers, FastPathTwoDecodings, ::testing::ValuesIn(kTwoStreams),
                         CaseName<TwoStreamsCase>);

}  // namespace
