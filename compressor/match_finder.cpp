#include "match_finder.h"

#include "lzh_format.h"

MatchFinder::MatchFinder(const std::vector<uint8_t>& text, int maxChain)
    : text_(text), maxChain_(maxChain), head_(size_t{1} << kHashBits, -1), prev_(kChainMask + 1, -1) {}

uint32_t MatchFinder::HashAt(size_t pos) const {
  const uint32_t v = uint32_t{text_[pos]} << 16 | uint32_t{text_[pos + 1]} << 8 | text_[pos + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

void MatchFinder::Insert(size_t pos) {
  if (pos + MinMatch > text_.size()) return;
  const uint32_t h = HashAt(pos);
  prev_[pos & kChainMask] = head_[h];
  head_[h] = static_cast<int32_t>(pos);
}

MatchFinder::Match MatchFinder::Longest(size_t pos, int maxLength) const {
  Match best;
  if (maxLength < MinMatch || pos + MinMatch > text_.size()) return best;
  const uint8_t* here = text_.data() + pos;
  int32_t candidate = head_[HashAt(pos)];
  for (int steps = maxChain_; candidate >= 0 && steps > 0; --steps) {
    const size_t distance = pos - static_cast<size_t>(candidate);
    if (distance > static_cast<size_t>(RingSize)) break;
    const uint8_t* there = text_.data() + candidate;
    if (there[best.length] == here[best.length] || best.length == 0) {
      int length = 0;
      while (length < maxLength && there[length] == here[length]) ++length;
      if (length > best.length && length >= MinMatch) {
        best.length = length;
        best.distance = static_cast<int>(distance);
        if (length == maxLength) break;
      }
    }
    const int32_t next = prev_[static_cast<size_t>(candidate) & kChainMask];
    if (next >= candidate) break;  // the link was overwritten by a newer position
    candidate = next;
  }
  return best;
}
