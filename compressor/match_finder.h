#pragma once
// Finds earlier occurrences of the bytes at a position, within the window the
// decoder keeps. Works on the input preceded by the window's initial run of
// spaces, so matches into that run come for free and no match ever reaches
// the window cells the decoder has not written yet: a distance never exceeds
// the position it is measured from.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lzh_format.h"

class MatchFinder {
 public:
  // `text` is the spaces followed by the input; `maxChain` bounds the number
  // of earlier positions one search looks at.
  MatchFinder(const std::vector<uint8_t>& text, int maxChain);

  // Makes position `pos` findable by later searches. Positions go in order.
  void Insert(size_t pos);

  struct Match {
    int length = 0;    // 0 when nothing of MinMatch bytes or more was found
    int distance = 0;  // 1..RingSize
  };
  // Most matches one search can report: one per length.
  static constexpr int kMaxImproving = MaxMatch - MinMatch + 1;

  // The longest match for `pos` (not yet inserted), at most `maxLength` bytes;
  // the nearest one among equals.
  Match Longest(size_t pos, int maxLength) const;

  // Every match for `pos` that is longer than all nearer ones, nearest first,
  // so both lengths and distances rise; the last is what Longest returns.
  // For any length, the first entry at least that long is its nearest match.
  // Writes at most kMaxImproving entries to `out` and returns their number.
  int Improving(size_t pos, int maxLength, Match* out) const;

 private:
  // The nearest position of each 3-byte string (by hash) finds the nearest
  // match of three bytes; chains of positions sharing 4 bytes find the longer
  // ones without wading through every 3-byte coincidence.
  static constexpr int kHash3Bits = 14;
  static constexpr int kHash4Bits = 15;
  static constexpr uint32_t kChainMask = 8191;  // twice the window: enough for every live link
  uint32_t Hash3(size_t pos) const;
  uint32_t Hash4(size_t pos) const;
  template <typename OnLonger>
  void Search(size_t pos, int maxLength, OnLonger&& onLonger) const;

  const std::vector<uint8_t>& text_;
  int maxChain_;
  std::vector<int32_t> head3_;
  std::vector<int32_t> head4_;
  std::vector<int32_t> prev_;
};

// How many leading bytes of `a` and `b` agree, at most `limit`.
inline int CommonPrefix(const uint8_t* a, const uint8_t* b, int limit) {
  int n = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + __builtin_ctzll(x ^ y) / 8;
    n += 8;
  }
#endif
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// A match finder for parsers that search every position: the positions of the
// window sorted into binary trees, one per 4-byte hash, each position inserted
// at its tree's root as it is searched; the nearest 3-byte match comes from a
// table of the newest position per 3-byte hash. The search path from the root passes
// the nearest position for every match length, so one walk yields the same
// kind of list as MatchFinder::Improving while comparing far fewer strings on
// repetitive data. Positions go in order, each through exactly one of
// FindAndInsert or Skip.
class TreeMatchFinder {
 public:
  using Match = MatchFinder::Match;

  // `maxDepth` bounds the nodes one walk visits.
  TreeMatchFinder(const std::vector<uint8_t>& text, int maxDepth);

  // The matches of `pos` longer than all nearer ones, nearest first, at most
  // `maxLength` bytes each (at most MatchFinder::kMaxImproving of them);
  // returns their number. Inserts `pos`.
  int FindAndInsert(size_t pos, int maxLength, Match* out);

  // Inserts `pos` without reporting its matches.
  void Skip(size_t pos);

 private:
  static constexpr int kHash3Bits = 16;
  static constexpr int kHash4Bits = 14;
  static constexpr uint32_t kSlotMask = 8191;  // a slot is reused only after twice the window
  template <bool kReport>
  int Walk(size_t pos, int maxLength, Match* out);

  const std::vector<uint8_t>& text_;
  int maxDepth_;
  std::vector<int32_t> head3_;     // newest position per 3-byte hash, -1 for none
  std::vector<int32_t> head4_;     // tree root per 4-byte hash, -1 for none
  std::vector<int32_t> children_;  // per slot: the subtree of smaller strings, then of greater ones
};
