// Every output of the compressor, at the fast, default and best levels,
// expands through ExpandFile (real files) to exactly its input, and every
// match in it keeps the rules the expander relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "file_expander.h"
#include "hzl_compressor.h"
#include "scratch.h"
#include "synthetic_inputs.h"
#include "token_reader.h"

namespace hzltest {
namespace {

using Bytes = std::vector<uint8_t>;

// The number of symbols after which the model first rebuilds its tree.
constexpr size_t kSymbolsBeforeRebuild = 32455;

Bytes Spaces(size_t n) { return Bytes(n, ' '); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Repeat(const Bytes& block, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), block.begin(), block.end());
  return out;
}

// Runs of random bytes, each 1 to 500 long.
Bytes MixedRuns(size_t size, uint64_t seed) {
  Rng rng(seed);
  Bytes out;
  while (out.size() < size) out.insert(out.end(), 1 + rng.Below(500), rng.Byte());
  out.resize(size);
  return out;
}

// What a case must show besides the round trip, so the input really
// exercises what its name says.
enum class Expect { Nothing, ModelRebuilds, CopyFromInitialWindow, FullWindowDistance };

struct InputCase {
  const char* name;
  std::function<Bytes()> make;
  Expect expect;
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

const InputCase kInputs[] = {
    {"Empty", [] { return Bytes{}; }, Expect::Nothing},
    {"OneByte", [] { return Bytes{'A'}; }, Expect::Nothing},
    {"OneSpace", [] { return Spaces(1); }, Expect::Nothing},
    {"ThreeSpaces", [] { return Spaces(3); }, Expect::CopyFromInitialWindow},
    {"Text32767", [] { return MakeText(32767, 11); }, Expect::Nothing},
    {"Text32768", [] { return MakeText(32768, 11); }, Expect::Nothing},
    {"Text32769", [] { return MakeText(32769, 11); }, Expect::Nothing},
    {"Text65535", [] { return MakeText(65535, 12); }, Expect::Nothing},
    {"Text65536", [] { return MakeText(65536, 12); }, Expect::Nothing},
    {"Text65537", [] { return MakeText(65537, 12); }, Expect::Nothing},
    {"Noise40000", [] { return MakeNoise(40000, 13); }, Expect::ModelRebuilds},
    {"Text400k", [] { return MakeText(400000, 14); }, Expect::ModelRebuilds},
    {"ZeroRun200k", [] { return Bytes(200000, 0); }, Expect::Nothing},
    {"MixedRuns", [] { return MixedRuns(150000, 15); }, Expect::Nothing},
    {"LeadingSpaces", [] { return Concat(Spaces(5000), MakeText(20000, 16)); }, Expect::CopyFromInitialWindow},
    {"SpacesOnly", [] { return Spaces(10000); }, Expect::CopyFromInitialWindow},
    {"SpacesThenNoise", [] { return Concat(Spaces(100), MakeNoise(5000, 17)); }, Expect::CopyFromInitialWindow},
    {"RepeatAt4096", [] { return Repeat(MakeNoise(4096, 18), 5); }, Expect::FullWindowDistance},
    {"RepeatAt4097", [] { return Repeat(MakeNoise(4097, 19), 4); }, Expect::Nothing},
    {"Noise70000", [] { return MakeNoise(70000, 20); }, Expect::ModelRebuilds},
    {"ExecutableLike", [] { return MakeExecutableLike(1000000, 21); }, Expect::ModelRebuilds},
};

const int kLevelsUnderTest[] = {kFastestLevel, kDefaultLevel, kBestLevel};

// Writes `container` to a file, expands it with ExpandFile and returns the
// expanded file.
Bytes ExpandThroughFiles(const Bytes& container) {
  ScratchDir dir;
  WriteWholeFile(dir.File("in.hzl"), container);
  ExpanderInputName = dir.File("in.hzl");
  ExpanderOutputName = dir.File("out.bin");
  EXPECT_EQ(ExpandFile(), 1);
  return ReadWholeFile(ExpanderOutputName);
}

void CheckRoundTrip(const Bytes& input, int level, Expect expect) {
  const Bytes container = CompressToContainer(input.data(), input.size(), level);
  EXPECT_TRUE(ExpandThroughFiles(container) == input) << "the expanded file differs from the input";

  const TokenStream tokens = ReadTokens(container);
  EXPECT_TRUE(tokens.faults.empty()) << tokens.faults.front();
  EXPECT_EQ(tokens.declaredSize, static_cast<int32_t>(input.size()));
  EXPECT_TRUE(tokens.output == input);
  for (const StreamToken& t : tokens.tokens) {
    ASSERT_TRUE(t.distance == 0 ? t.length == 1 : (t.length >= 3 && t.length <= 60)) << "token at " << t.at;
  }
  switch (expect) {
    case Expect::Nothing:
      break;
    case Expect::ModelRebuilds:
      EXPECT_GT(tokens.tokens.size(), kSymbolsBeforeRebuild);
      break;
    case Expect::CopyFromInitialWindow:
      EXPECT_TRUE(std::any_of(tokens.tokens.begin(), tokens.tokens.end(),
                              [](const StreamToken& t) { return t.distance > t.at; }))
          << "no match reaches into the initial spaces";
      break;
    case Expect::FullWindowDistance:
      EXPECT_TRUE(std::any_of(tokens.tokens.begin(), tokens.tokens.end(),
                              [](const StreamToken& t) { return t.distance == 4096; }))
          << "no match at distance 4096";
      break;
  }
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<InputCase, int>> {};

TEST_P(RoundTrip, ExpandsToTheInput) {
  const InputCase& c = std::get<0>(GetParam());
  CheckRoundTrip(c.make(), std::get<1>(GetParam()), c.expect);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kInputs), ::testing::ValuesIn(kLevelsUnderTest)),
                         [](const ::testing::TestParamInfo<RoundTrip::ParamType>& param) {
                           return std::string(std::get<0>(param.param).name) + "_Level" +
                                  std::to_string(std::get<1>(param.param));
                         });

// The inputs of the reference streams.
std::vector<std::string> GoldenInputs() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(HZL_GOLDEN_DIR, ec)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && ext != ".hzl" && ext != ".md") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GoldenInputs, ArePresent) { EXPECT_GE(GoldenInputs().size(), 9u) << "reference folder " << HZL_GOLDEN_DIR; }

class GoldenRoundTrip : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(GoldenRoundTrip, ExpandsToTheInput) {
  const std::string path = std::string(HZL_GOLDEN_DIR) + "/" + std::get<0>(GetParam());
  CheckRoundTrip(ReadWholeFile(path), std::get<1>(GetParam()), Expect::Nothing);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(GoldenInputs()),
                                            ::testing::ValuesIn(kLevelsUnderTest)),
                         [](const ::testing::TestParamInfo<GoldenRoundTrip::ParamType>& param) {
                           std::string name = std::get<0>(param.param);
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name + "_Level" + std::to_string(std::get<1>(param.param));
                         });

// The levels not covered above, on inputs where their parsers differ.
TEST(EveryLevel, RoundTripsTextAndBinary) {
  const Bytes inputs[] = {MakeText(70000, 31), MakeExecutableLike(70000, 32), MixedRuns(20000, 33)};
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    for (const Bytes& input : inputs) {
      SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(input.size()) + " bytes");
      CheckRoundTrip(input, level, Expect::Nothing);
    }
  }
}

}  // namespace
}  // namespace hzltest
