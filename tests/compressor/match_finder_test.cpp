// The two match finders against a brute-force search: every match they
// report is real and within the written window, lists rise in length and
// distance, and with the search unbounded they find the nearest match of
// every length.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "lzh_format.h"
#include "match_finder.h"
#include "synthetic_inputs.h"

namespace hzltest {
namespace {

using Bytes = std::vector<uint8_t>;
using Match = MatchFinder::Match;

// The initial spaces, then `body`.
Bytes Windowed(const Bytes& body) {
  Bytes text(InitialRingPos + body.size(), RingFillByte);
  std::copy(body.begin(), body.end(), text.begin() + InitialRingPos);
  return text;
}

// Text over a small alphabet: many matches of every length.
Bytes SmallAlphabet(size_t size, uint64_t seed) {
  Rng rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (rng.Below(3) == 0 && out.size() > 100) {
      // Copy an earlier stretch, sometimes from beyond the window.
      const size_t from = out.size() - 1 - rng.Below(static_cast<uint32_t>(std::min<size_t>(out.size() - 1, 6000)));
      const size_t length = 3 + rng.Below(80);
      for (size_t k = 0; k < length; ++k) out.push_back(out[from + k]);
    } else {
      out.push_back(static_cast<uint8_t>('a' + rng.Below(4)));
    }
  }
  out.resize(size);
  return out;
}

// For each length 3..maxLength, the nearest distance with a match at least
// that long (0 when there is none), by trying every distance.
std::vector<int> NearestByLength(const Bytes& text, size_t pos, int maxLength) {
  std::vector<int> nearest(static_cast<size_t>(maxLength) + 1, 0);
  const size_t farthest = std::min<size_t>(RingSize, pos);
  const uint8_t* const here = text.data() + pos;
  for (size_t d = 1; d <= farthest; ++d) {
    const uint8_t* const there = here - d;
    if (there[0] != here[0]) continue;
    int length = 0;
    while (length < maxLength && there[length] == here[length]) ++length;
    for (int l = MinMatch; l <= length; ++l) {
      if (nearest[static_cast<size_t>(l)] == 0) nearest[static_cast<size_t>(l)] = static_cast<int>(d);
    }
  }
  return nearest;
}

// Checks one reported list at `pos`. With `exact`, every length of four or
// more must come with its nearest distance, and a reported length 3 too;
// that brute-force comparison runs at every fourth position, which still
// meets every situation many times over.
void CheckList(const Bytes& text, size_t pos, int maxLength, const Match* list, int count, bool exact) {
  for (int i = 0; i < count; ++i) {
    const Match& m = list[i];
    ASSERT_GE(m.length, MinMatch) << "at " << pos;
    ASSERT_LE(m.length, maxLength) << "at " << pos;
    ASSERT_GE(m.distance, 1) << "at " << pos;
    ASSERT_LE(static_cast<size_t>(m.distance), std::min<size_t>(RingSize, pos)) << "at " << pos;
    for (int k = 0; k < m.length; ++k) {
      ASSERT_EQ(text[pos - static_cast<size_t>(m.distance) + static_cast<size_t>(k)], text[pos + static_cast<size_t>(k)])
          << "not a match at " << pos;
    }
    if (i > 0) {
      ASSERT_GT(m.length, list[i - 1].length) << "at " << pos;
      ASSERT_GT(m.distance, list[i - 1].distance) << "at " << pos;
    }
  }
  if (!exact || pos % 4 != 0) return;
  // For each length, the nearest distance the list offers: that of its first
  // entry at least so long.
  const std::vector<int> nearest = NearestByLength(text, pos, maxLength);
  for (int l = 4; l <= maxLength; ++l) {
    int offered = 0;
    for (int i = 0; i < count && offered == 0; ++i) {
      if (list[i].length >= l) offered = list[i].distance;
    }
    ASSERT_EQ(offered, nearest[static_cast<size_t>(l)]) << "length " << l << " at " << pos;
  }
  // Three-byte matches come from a table of the newest position per hash,
  // which a colliding string can hide; one that is reported is the nearest.
  if (count > 0 && list[0].length == MinMatch) {
    ASSERT_EQ(list[0].distance, nearest[MinMatch]) << "at " << pos;
  }
}

struct FinderCase {
  const char* name;
  Bytes body;
};

std::vector<FinderCase> Cases() {
  return {
      {"small alphabet", SmallAlphabet(9000, 1)},  // with the spaces, past the reuse of tree slots
      {"text", MakeText(6000, 2)},
      {"runs", Bytes(5000, 'z')},
      {"spaces at the start", Bytes(300, ' ')},
  };
}

TEST(TreeMatchFinder, UnboundedFindsTheNearestMatchOfEveryLength) {
  for (const FinderCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Bytes text = Windowed(c.body);
    TreeMatchFinder finder(text, 1 << 20);
    for (size_t p = 0; p < static_cast<size_t>(InitialRingPos); ++p) finder.Skip(p);
    Match list[MatchFinder::kMaxImproving];
    for (size_t pos = InitialRingPos; pos < text.size(); ++pos) {
      const int maxLength = static_cast<int>(std::min<size_t>(MaxMatch, text.size() - pos));
      const int count = finder.FindAndInsert(pos, maxLength, list);
      ASSERT_NO_FATAL_FAILURE(CheckList(text, pos, maxLength, list, count, true));
    }
  }
}

TEST(MatchFinder, UnboundedChainFindsTheNearestMatchOfEveryLength) {
  for (const FinderCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Bytes text = Windowed(c.body);
    MatchFinder finder(text, 1 << 20);
    for (size_t p = 0; p < static_cast<size_t>(InitialRingPos); ++p) finder.Insert(p);
    Match list[MatchFinder::kMaxImproving];
    for (size_t pos = InitialRingPos; pos < text.size(); ++pos) {
      const int maxLength = static_cast<int>(std::min<size_t>(MaxMatch, text.size() - pos));
      const int count = finder.Improving(pos, maxLength, list);
      ASSERT_NO_FATAL_FAILURE(CheckList(text, pos, maxLength, list, count, true));
      const Match longest = finder.Longest(pos, maxLength);
      ASSERT_EQ(longest.length, count ? list[count - 1].length : 0);
      ASSERT_EQ(longest.distance, count ? list[count - 1].distance : 0);
      finder.Insert(pos);
    }
  }
}

// Shallow searches may miss matches, but never report a false one, and
// searching only some positions (the rest skipped) keeps the trees sound.
TEST(MatchFinders, BoundedSearchesReportOnlyRealMatches) {
  for (const FinderCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Bytes text = Windowed(c.body);
    TreeMatchFinder tree(text, 4);
    MatchFinder chain(text, 2);
    for (size_t p = 0; p < static_cast<size_t>(InitialRingPos); ++p) {
      tree.Skip(p);
      chain.Insert(p);
    }
    Match list[MatchFinder::kMaxImproving];
    for (size_t pos = InitialRingPos; pos < text.size(); ++pos) {
      const int maxLength = static_cast<int>(std::min<size_t>(MaxMatch, text.size() - pos));
      if (pos % 3 == 0) {
        tree.Skip(pos);
      } else {
        const int count = tree.FindAndInsert(pos, maxLength, list);
        ASSERT_NO_FATAL_FAILURE(CheckList(text, pos, maxLength, list, count, false));
      }
      const int count = chain.Improving(pos, maxLength, list);
      ASSERT_NO_FATAL_FAILURE(CheckList(text, pos, maxLength, list, count, false));
      chain.Insert(pos);
    }
  }
}

}  // namespace
}  // namespace hzltest
