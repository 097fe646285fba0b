// Every reference stream expands to its original, through the file expander
// and through the decoder alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "file_expander.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using hzltest::Bytes;
using hzltest::GoldenBytes;

std::vector<std::string> GoldenStreams() {
  std::vector<std::string> names;
  std::error_code ec;
  if (!fs::is_directory(hzltest::GoldenDir(), ec)) return names;
  for (const auto& entry : fs::directory_iterator(hzltest::GoldenDir(), ec))
    if (entry.is_regular_file() && entry.path().extension() == ".hzl") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Original(const std::string& streamName) { return streamName.substr(0, streamName.size() - 4); }

TEST(GoldenFolder, HoldsStreamsWithTheirOriginals) {
  ASSERT_TRUE(fs::is_directory(hzltest::GoldenDir())) << hzltest::GoldenDir();
  const auto names = GoldenStreams();
  ASSERT_FALSE(names.empty()) << "no .hzl file in " << hzltest::GoldenDir();
  for (const auto& name : names) EXPECT_TRUE(fs::is_regular_file(hzltest::GoldenDir() / Original(name))) << name;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, ExpandFileRestoresTheOriginal) {
  // A private copy: the expander opens its input without sharing, and other
  // tests may hold the shared file open at the same moment.
  hzltest::TempDir dir;
  ExpanderInputName = dir.File(GetParam());
  ExpanderOutputName = dir.File("out");
  hzltest::WriteFileBytes(ExpanderInputName, GoldenBytes(GetParam()));
  ASSERT_EQ(ExpandFile(), 1);
  EXPECT_TRUE(hzltest::ReadFileBytes(ExpanderOutputName) == GoldenBytes(Original(GetParam())))
      << "output differs from " << Original(GetParam());
}

// The decoder alone, over the stream after the head: the same bytes, and
// exactly one request beyond the stream's last byte.
Bytes g_stream;
size_t g_next = 0;
size_t g_requests = 0;
Bytes g_out;

void MemorySource(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  ++g_requests;
  actual = 0;
  if (count == 1 && g_next < g_stream.size()) {
    buffer[0] = g_stream[g_next++];
    actual = 1;
  }
}

void MemorySink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  g_out.insert(g_out.end(), buffer, buffer + count);
  actual = count;
}

int32_t DeclaredSize(const Bytes& file) {
  return static_cast<int32_t>(uint32_t{file[4]} | uint32_t{file[5]} << 8 | uint32_t{file[6]} << 16 |
                              uint32_t{file[7]} << 24);
}

TEST_P(Golden, DecoderFetchesExactlyOneByteBeyondTheStream) {
  const Bytes file = GoldenBytes(GetParam());
  ASSERT_GE(file.size(), 8u);
  g_stream.assign(file.begin() + 8, file.end());
  g_next = 0;
  g_requests = 0;
  g_out.clear();
  const int32_t declared = DeclaredSize(file);
  LzhUnpack(declared, MemorySource, MemorySink);
  EXPECT_TRUE(g_out == GoldenBytes(Original(GetParam())));
  EXPECT_EQ(g_requests, declared > 0 ? g_stream.size() + 1 : 0u);
}

TEST_P(Golden, StreamWithoutItsLastByteRaises) {
  const Bytes file = GoldenBytes(GetParam());
  const int32_t declared = DeclaredSize(file);
  if (declared <= 0 || file.size() <= 8) {
    // Nothing to cut: such a stream decodes no bit at all.
    EXPECT_TRUE(GoldenBytes(Original(GetParam())).empty());
    return;
  }
  g_stream.assign(file.begin() + 8, file.end() - 1);
  g_next = 0;
  g_requests = 0;
  g_out.clear();
  try {
    LzhUnpack(declared, MemorySource, MemorySink);
    FAIL() << "no exception";
  } catch (const ElzhException& e) {
    EXPECT_EQ(e.Message(), "LZH : Unexpected end of compressed data");
  }
  EXPECT_LT(g_out.size(), static_cast<size_t>(declared));
}

INSTANTIATE_TEST_SUITE_P(Streams, Golden, ::testing::ValuesIn(GoldenStreams()), [](const auto& p) {
  std::string name = p.param;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
});

}  // namespace
