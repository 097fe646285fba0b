// The adaptive model: start-state codes, the update's tie-break, the rebuild
// and the tree invariants that every later step relies on.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "huffman_model.h"
#include "test_support.h"

namespace {

using hzltest::CodeString;
using hzltest::DecodeFromBits;

// Order, sums, positive weights, even sibling pairs and parent links that
// agree with the child links.
::testing::AssertionResult TreeIsSound(const HuffmanModel& m) {
  if (m.Freq[NodeCount] != 0xFFFF) return ::testing::AssertionFailure() << "sentinel is " << m.Freq[NodeCount];
  if (m.Parent[RootNode] != 0) return ::testing::AssertionFailure() << "root has parent " << m.Parent[RootNode];
  std::array<int, SymbolCount> leavesOf{};
  unsigned leafSum = 0;
  for (int x = 0; x < NodeCount; ++x) {
    if (m.Freq[x] == 0) return ::testing::AssertionFailure() << "weight 0 at " << x;
    if (m.Freq[x] > m.Freq[x + 1])
      return ::testing::AssertionFailure() << "weight falls from " << m.Freq[x] << " at " << x << " to "
                                           << m.Freq[x + 1];
    const unsigned v = m.Child[x];
    if (v >= static_cast<unsigned>(LeafBase)) {
      const unsigned s = v - LeafBase;
      if (s >= static_cast<unsigned>(SymbolCount)) return ::testing::AssertionFailure() << "bad leaf code at " << x;
      ++leavesOf[s];
      leafSum += m.Freq[x];
      if (m.Parent[v] != x)
        return ::testing::AssertionFailure() << "symbol " << s << " leaf is at " << x << " but Parent says "
                                             << m.Parent[v];
    } else {
      if (v % 2 != 0) return ::testing::AssertionFailure() << "odd child pair " << v << " under " << x;
      if (v + 1 >= static_cast<unsigned>(x)) return ::testing::AssertionFailure() << "children above parent " << x;
      if (m.Freq[x] != m.Freq[v] + m.Freq[v + 1])
        return ::testing::AssertionFailure() << "node " << x << " weighs " << m.Freq[x] << ", children "
                                             << m.Freq[v] << " + " << m.Freq[v + 1];
      if (m.Parent[v] != x || m.Parent[v + 1] != x)
        return ::testing::AssertionFailure() << "children of " << x << " point to " << m.Parent[v] << ", "
                                             << m.Parent[v + 1];
    }
  }
  for (int s = 0; s < SymbolCount; ++s)
    if (leavesOf[s] != 1) return ::testing::AssertionFailure() << "symbol " << s << " has " << leavesOf[s] << " leaves";
  if (leafSum != m.Freq[RootNode])
    return ::testing::AssertionFailure() << "root " << m.Freq[RootNode] << " != leaf sum " << leafSum;
  if (leafSum > FreqLimit) return ::testing::AssertionFailure() << "root above limit: " << leafSum;
  return ::testing::AssertionSuccess();
}

unsigned LeafWeight(const HuffmanModel& m, int symbol) { return m.Freq[m.Parent[symbol + LeafBase]]; }

HuffmanModel StartModel() {
  HuffmanModel m;
  HuffmanStart(m);
  return m;
}

struct StartCodeCase {
  int symbol;
  const char* bits;
};

constexpr StartCodeCase kStartCodes[] = {
    {0x74, "00000000"},  {0x75, "00000001"},  {0xFF, "10001011"},  {256, "10001100"},
    {257, "10001101"},   {313, "11000101"},   {0x00, "110001100"}, {0x01, "110001101"},
    {0x41, "111001101"}, {0x61, "111101101"}, {0x73, "111111111"},
};

TEST(HuffmanStartState, TreeIsSoundAndRootWeighs314) {
  const HuffmanModel m = StartModel();
  EXPECT_TRUE(TreeIsSound(m));
  EXPECT_EQ(m.Freq[RootNode], 314);
}

TEST(HuffmanStartState, CodeOfGivesTheListedCodes) {
  const HuffmanModel m = StartModel();
  for (const auto& c : kStartCodes) EXPECT_EQ(CodeString(m, c.symbol), c.bits) << "symbol " << c.symbol;
}

TEST(HuffmanStartState, ListedBitsDecodeToTheirSymbolUsingExactlyThoseBits) {
  for (const auto& c : kStartCodes) {
    HuffmanModel m = StartModel();
    size_t used = 0;
    // Trailing bits must stay unread.
    EXPECT_EQ(DecodeFromBits(m, std::string(c.bits) + "1010", used), c.symbol) << c.bits;
    EXPECT_EQ(used, std::string(c.bits).size()) << c.bits;
  }
}

TEST(HuffmanStartState, EightBitCodesForSymbolsFrom116NineBitBelow) {
  const HuffmanModel m = StartModel();
  int eight = 0;
  int nine = 0;
  for (int s = 0; s < SymbolCount; ++s) {
    const SymbolCode code = CodeOf(m, s);
    if (code.length == 8) ++eight;
    if (code.length == 9) ++nine;
    if (s >= 116) {
      EXPECT_EQ(code.length, 8) << s;
      EXPECT_EQ(code.bits, static_cast<uint32_t>(s - 116)) << s;
    } else {
      EXPECT_EQ(code.length, 9) << s;
      EXPECT_EQ(code.bits, static_cast<uint32_t>(396 + s)) << s;
    }
  }
  EXPECT_EQ(eight, 198);
  EXPECT_EQ(nine, 116);
}

TEST(HuffmanUpdate, ZeroBitsFromStartTradeSymbol0x74WithTheLastWeightOneLeaf) {
  HuffmanModel m = StartModel();
  size_t used = 0;
  ASSERT_EQ(DecodeFromBits(m, "00000000", used), 0x74);
  EXPECT_TRUE(TreeIsSound(m));
  // The exchange goes to the end of the run of weight 1 (position 313), not
  // its start (position 117).
  EXPECT_EQ(m.Parent[0x74 + LeafBase], 313);
  EXPECT_EQ(m.Parent[313 + LeafBase], 116);
  EXPECT_EQ(m.Parent[0x75 + LeafBase], 117);
  EXPECT_EQ(LeafWeight(m, 0x74), 2u);
  EXPECT_EQ(CodeString(m, 0x74), "11000101");
  EXPECT_EQ(CodeString(m, 313), "00000000");

  HuffmanModel again = m;
  EXPECT_EQ(DecodeFromBits(again, "00000000", used), 313);
  EXPECT_EQ(used, 8u);
}

TEST(HuffmanUpdate, SixTimes0x41ConsumesTheExpectedCodes) {
  const char* const codes[] = {"111001101", "11000101", "1100001", "1100010", "101111", "110000"};
  HuffmanModel m = StartModel();
  for (const char* code : codes) {
    EXPECT_EQ(CodeString(m, 0x41), code);
    HuffmanModel walker = m;
    size_t used = 0;
    EXPECT_EQ(DecodeFromBits(walker, std::string(code) + "0000000000", used), 0x41) << code;
    EXPECT_EQ(used, std::string(code).size()) << code;
    m = walker;
    EXPECT_TRUE(TreeIsSound(m));
  }
  EXPECT_EQ(LeafWeight(m, 0x41), 7u);
  EXPECT_EQ(m.Freq[RootNode], 320);
}

TEST(HuffmanRebuild, FirstRebuildAtSymbol32455) {
  HuffmanModel m = StartModel();
  // 32,454 symbols through the decoding walk, each with its current code.
  for (int n = 0; n < 32454; ++n) {
    const std::string code = CodeString(m, 0x41);
    size_t used = 0;
    ASSERT_EQ(DecodeFromBits(m, code, used), 0x41) << "symbol " << n;
    ASSERT_EQ(used, code.size());
  }
  ASSERT_TRUE(TreeIsSound(m));
  EXPECT_EQ(LeafWeight(m, 0x41), 32455u);
  EXPECT_EQ(m.Freq[RootNode], FreqLimit);

  HuffmanModel rebuilt = m;
  HuffmanRebuild(rebuilt);
  EXPECT_TRUE(TreeIsSound(rebuilt));
  EXPECT_EQ(LeafWeight(rebuilt, 0x41), 16228u);
  EXPECT_EQ(rebuilt.Freq[RootNode], 16541u);
  for (int s = 0; s < SymbolCount; ++s) {
    if (s == 0x41) continue;
    EXPECT_EQ(LeafWeight(rebuilt, s), 1u) << s;
  }

  // The 32,455th update rebuilds first, then counts.
  HuffmanUpdate(m, 0x41);
  EXPECT_TRUE(TreeIsSound(m));
  EXPECT_EQ(LeafWeight(m, 0x41), 16229u);
  EXPECT_EQ(m.Freq[RootNode], 16542u);
}

TEST(HuffmanRebuild, JoinedNodeGoesAfterEveryNodeOfEqualWeight) {
  // Leaves 0 and 1 halve to 1, the other 312 to 2. The first joined node
  // (weight 2) must land after all the weight-2 leaves, at position 314.
  HuffmanModel m = StartModel();
  for (int x = 0; x < SymbolCount; ++x) m.Freq[x] = x < 2 ? 1 : 4;
  for (int x = SymbolCount; x < NodeCount; ++x) {
    m.Child[x] = 0;  // internal: the rebuild looks only at which positions hold leaves
    m.Freq[x] = 4;
  }
  HuffmanRebuild(m);
  ASSERT_TRUE(TreeIsSound(m));
  EXPECT_EQ(m.Child[314], 0);
  EXPECT_EQ(m.Freq[314], 2);
  for (int x = 2; x < SymbolCount; ++x) EXPECT_GE(m.Child[x], LeafBase) << x;
  // The second join (two weight-2 leaves, weight 4) also follows the first.
  EXPECT_EQ(m.Child[315], 2);
  EXPECT_EQ(m.Freq[315], 4);
}

TEST(HuffmanRebuild, AllWeightOneGivesTheStartState) {
  const HuffmanModel start = StartModel();
  HuffmanModel m = start;
  HuffmanRebuild(m);
  for (int x = 0; x < NodeCount; ++x) {
    EXPECT_EQ(m.Freq[x], start.Freq[x]) << x;
    EXPECT_EQ(m.Child[x], start.Child[x]) << x;
  }
  for (int x = 0; x < NodeCount + SymbolCount; ++x) EXPECT_EQ(m.Parent[x], start.Parent[x]) << x;
}

struct RandomRunCase {
  const char* name;
  uint32_t seed;
  double skew;  // geometric parameter: higher gives a few symbols most of the weight
  int minRebuilds;
};

constexpr RandomRunCase kRandomRuns[] = {
    {"near_uniform", 1, 0.01, 3},
    {"skewed", 2, 0.2, 3},
    {"one_dominant", 3, 0.7, 3},
};

class HuffmanRandomRun : public ::testing::TestWithParam<RandomRunCase> {};
HZL_PRINT_CASE_AS(RandomRunCase, name)

// Random symbols encoded with their current code and decoded back, with the
// invariants checked after every step and across several rebuilds.
TEST_P(HuffmanRandomRun, InvariantsHoldAndCodesRoundTrip) {
  const RandomRunCase& c = GetParam();
  std::mt19937 rng(c.seed);
  std::geometric_distribution<int> pick(c.skew);
  std::uniform_int_distribution<int> shuffle(0, SymbolCount - 1);
  const int offset = shuffle(rng);
  HuffmanModel m = StartModel();
  int rebuilds = 0;
  for (int n = 0; rebuilds < c.minRebuilds || n < 40000; ++n) {
    ASSERT_LT(n, 200000) << "no rebuild in sight";
    const int symbol = (pick(rng) + offset) % SymbolCount;
    const std::string code = CodeString(m, symbol);
    ASSERT_GE(code.size(), 1u);
    const bool rebuildDue = m.Freq[RootNode] == FreqLimit;
    const unsigned rootBefore = m.Freq[RootNode];
    size_t used = 0;
    ASSERT_EQ(DecodeFromBits(m, code, used), symbol) << "step " << n;
    ASSERT_EQ(used, code.size()) << "step " << n;
    if (rebuildDue) {
      ++rebuilds;
      ASSERT_LT(m.Freq[RootNode], rootBefore);
    } else {
      ASSERT_EQ(m.Freq[RootNode], rootBefore + 1) << "step " << n;
    }
    ASSERT_TRUE(TreeIsSound(m)) << "step " << n;
  }
  EXPECT_GE(rebuilds, c.minRebuilds);
}

INSTANTIATE_TEST_SUITE_P(Runs, HuffmanRandomRun, ::testing::ValuesIn(kRandomRuns),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
