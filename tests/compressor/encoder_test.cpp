// The parts under the parsers: the bit writer, the encoder's guard against
// matches the expander could not copy, the container head, the prices read
// off the model, and the promises of the level table.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "bit_writer.h"
#include "hzl_compressor.h"
#include "lzh_encoder.h"
#include "symbol_prices.h"
#include "synthetic_inputs.h"
#include "token_reader.h"

namespace hzltest {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BitWriter, PacksMostSignificantBitFirstAndPadsWithZeros) {
  struct Put {
    uint32_t bits;
    int count;
  };
  struct Case {
    const char* what;
    std::vector<Put> puts;
    Bytes expected;
  };
  const Case cases[] = {
      {"nothing", {}, {}},
      {"a zero-length put", {{0xFF, 0}}, {}},
      {"three bits", {{0b101, 3}}, {0xA0}},
      {"exactly one byte", {{0x3C, 8}}, {0x3C}},
      {"across a byte edge", {{0b1, 1}, {0xFF, 8}}, {0xFF, 0x80}},
      {"only the low bits count", {{0xFFFFFFF0u, 4}}, {0x00}},
      {"a full 32-bit put after 7 bits", {{0, 7}, {0x80000001u, 32}}, {0x01, 0x00, 0x00, 0x00, 0x02}},
      {"position code shapes", {{0b000, 3}, {0b000010, 6}, {0b11110000, 8}, {0b111111, 6}},
       {0x01, 0x78, 0x7E}},
  };
  for (const Case& c : cases) {
    Bytes out;
    BitWriter writer(out);
    for (const Put& p : c.puts) writer.Put(p.bits, p.count);
    writer.Finish();
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

TEST(LzhEncoder, RefusesMatchesTheExpanderCannotCopy) {
  struct Case {
    int literalsBefore;  // bytes produced before the match
    int length;
    int distance;
    bool accepted;
  };
  const Case cases[] = {
      {0, 3, 1, true},       {0, 60, 4036, true},    {0, 3, 4037, false},  // only spaces before the first byte
      {10, 3, 4046, true},   {10, 3, 4047, false},   {100, 3, 4096, true},
      {100, 3, 4097, false}, {100, 2, 1, false},     {100, 61, 1, false},
      {100, 3, 0, false},    {100, 3, -1, false},
  };
  for (const Case& c : cases) {
    Bytes out;
    LzhEncoder encoder(out);
    for (int i = 0; i < c.literalsBefore; ++i) encoder.Literal('x');
    SCOPED_TRACE("after " + std::to_string(c.literalsBefore) + " bytes, length " + std::to_string(c.length) +
                 " distance " + std::to_string(c.distance));
    if (c.accepted) {
      EXPECT_NO_THROW(encoder.Match(c.length, c.distance));
      EXPECT_EQ(encoder.Produced(), c.literalsBefore + c.length);
    } else {
      EXPECT_THROW(encoder.Match(c.length, c.distance), std::logic_error);
    }
  }
}

TEST(Container, HeadIsSignatureAndSizeLittleEndian) {
  const Bytes input = MakeNoise(0x011171, 1);
  const Bytes container = CompressToContainer(input.data(), input.size(), kDefaultLevel);
  ASSERT_GE(container.size(), 8u);
  EXPECT_EQ(Bytes(container.begin(), container.begin() + 8), (Bytes{'!', 'H', 'Z', 'L', 0x71, 0x11, 0x01, 0x00}));
}

TEST(Container, EmptyInputIsTheHeadAlone) {
  EXPECT_EQ(CompressToContainer(nullptr, 0, kFastestLevel), (Bytes{'!', 'H', 'Z', 'L', 0, 0, 0, 0}));
}

TEST(Container, RejectsLevelsOutsideTheRange) {
  const uint8_t byte = 'a';
  for (int level : {kFastestLevel - 1, kBestLevel + 1, -6}) {
    EXPECT_THROW(CompressToContainer(&byte, 1, level), std::invalid_argument) << level;
  }
}

// Drives the model with a fixed mix of symbols, through its first rebuild.
void Exercise(HuffmanModel& model, int updates) {
  Rng rng(7);
  for (int i = 0; i < updates; ++i) {
    const uint32_t symbol = rng.Below(4) == 0 ? rng.Below(SymbolCount) : 'e' + rng.Below(5);
    HuffmanUpdate(model, static_cast<int>(symbol));
  }
}

TEST(CodeLengths, AgreeWithTheCodesTheModelHandsOut) {
  HuffmanModel model;
  HuffmanStart(model);
  for (int updates : {0, 1, 100, 5000, 40000}) {
    Exercise(model, updates);
    uint8_t lengths[SymbolCount];
    CodeLengths(model, lengths);
    for (int s = 0; s < SymbolCount; ++s) {
      ASSERT_EQ(lengths[s], CodeOf(model, s).length) << "symbol " << s << " after " << updates << " more updates";
    }
  }
}

TEST(CodedBits, CountsTheBitsTheEncoderWrites) {
  const Bytes text = MakeText(60000, 3);
  const Bytes container = CompressToContainer(text.data(), text.size(), kDefaultLevel);
  const TokenStream stream = ReadTokens(container);
  ASSERT_TRUE(stream.faults.empty());
  std::vector<Token> tokens;
  for (const StreamToken& t : stream.tokens)
    tokens.push_back({static_cast<uint16_t>(t.length), static_cast<uint16_t>(t.distance)});
  HuffmanModel model;
  HuffmanStart(model);
  EXPECT_EQ(CodedBits(model, tokens.data(), tokens.size(), text.data()), stream.bitsUsed);
}

TEST(Progress, ReportsRisingCountsEndingAtTheTotal) {
  const Bytes input = MakeText(2 * 1024 * 1024 + 17, 4);
  for (int level : {kFastestLevel, kDefaultLevel}) {
    std::vector<std::pair<size_t, size_t>> calls;
    CompressToContainer(input.data(), input.size(), level,
                        [&calls](size_t done, size_t total) { calls.emplace_back(done, total); });
    ASSERT_GE(calls.size(), 3u) << "level " << level;
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].second, input.size());
      EXPECT_LE(calls[i].first, input.size());
      if (i > 0) {
        EXPECT_GE(calls[i].first, calls[i - 1].first);
      }
    }
    EXPECT_EQ(calls.back().first, input.size());
  }
}

// What the level table promises: the default saves over greedy level 1, and
// level 9 saves at least as much as the default.
TEST(Levels, HigherLevelsAreNoLarger) {
  const Bytes inputs[] = {MakeText(300000, 5), MakeExecutableLike(300000, 6)};
  for (const Bytes& input : inputs) {
    const size_t fastest = CompressToContainer(input.data(), input.size(), kFastestLevel).size();
    const size_t standard = CompressToContainer(input.data(), input.size(), kDefaultLevel).size();
    const size_t best = CompressToContainer(input.data(), input.size(), kBestLevel).size();
    EXPECT_LT(standard, fastest);
    EXPECT_LE(best, standard);
  }
}

}  // namespace
}  // namespace hzltest
