#pragma once
// Finds earlier occurrences of the bytes at a position, within the window the
// decoder keeps. Works on the input preceded by the window's initial run of
// spaces, so matches into that run come for free and no match ever reaches
// the window cells the decoder has not written yet.

#include <cstddef>
#include <cstdint>
#include <vector>

class MatchFinder {
 public:
  // `text` is the spaces followed by the input; `maxChain` bounds the search.
  MatchFinder(const std::vector<uint8_t>& text, int maxChain);

  // Makes position `pos` findable by later searches. Positions go in order.
  void Insert(size_t pos);

  struct Match {
    int length = 0;    // 0 when nothing of MinMatch bytes or more was found
    int distance = 0;  // 1..RingSize
  };
  // The longest match for `pos` (not yet inserted), at most `maxLength` bytes;
  // the nearest one among equals.
  Match Longest(size_t pos, int maxLength) const;

 private:
  static constexpr int kHashBits = 15;
  static constexpr uint32_t kChainMask = 8191;  // twice the window: enough for every live link
  uint32_t HashAt(size_t pos) const;

  const std::vector<uint8_t>& text_;
  int maxChain_;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
};
