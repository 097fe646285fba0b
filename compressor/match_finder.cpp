#include "match_finder.h"

#include <algorithm>
#include <cstring>

MatchFinder::MatchFinder(const std::vector<uint8_t>& text, int maxChain)
    : text_(text),
      maxChain_(maxChain),
      head3_(size_t{1} << kHash3Bits, -1),
      head4_(size_t{1} << kHash4Bits, -1),
      prev_(kChainMask + 1, -1) {}

uint32_t MatchFinder::Hash3(size_t pos) const {
  const uint32_t v = uint32_t{text_[pos]} << 16 | uint32_t{text_[pos + 1]} << 8 | text_[pos + 2];
  return (v * 2654435761u) >> (32 - kHash3Bits);
}

uint32_t MatchFinder::Hash4(size_t pos) const {
  const uint32_t v = uint32_t{text_[pos]} << 24 | uint32_t{text_[pos + 1]} << 16 | uint32_t{text_[pos + 2]} << 8 |
                     text_[pos + 3];
  return (v * 2654435761u) >> (32 - kHash4Bits);
}

void MatchFinder::Insert(size_t pos) {
  if (pos + 3 > text_.size()) return;
  head3_[Hash3(pos)] = static_cast<int32_t>(pos);
  if (pos + 4 > text_.size()) return;
  const uint32_t h = Hash4(pos);
  prev_[pos & kChainMask] = head4_[h];
  head4_[h] = static_cast<int32_t>(pos);
}

// Calls onLonger(length, distance) for each match longer than all nearer
// ones: first the nearest 3-byte string, then the chain of 4-byte strings from
// the nearest outwards.
template <typename OnLonger>
void MatchFinder::Search(size_t pos, int maxLength, OnLonger&& onLonger) const {
  static_assert(MinMatch == 3, "the finder's first table holds 3-byte strings");
  if (maxLength < MinMatch || pos + MinMatch > text_.size()) return;
  const uint8_t* const text = text_.data();
  const int32_t* const prev = prev_.data();
  const uint8_t* const here = text + pos;
  int best = MinMatch - 1;
  const int32_t nearest = head3_[Hash3(pos)];
  if (nearest >= 0 && pos - static_cast<size_t>(nearest) <= static_cast<size_t>(RingSize)) {
    const int length = CommonPrefix(text + nearest, here, maxLength);
    if (length >= MinMatch) {
      best = length;
      onLonger(length, static_cast<int>(pos - static_cast<size_t>(nearest)));
      if (length == maxLength) return;
    }
  }
  if (maxLength < 4) return;
  int32_t candidate = head4_[Hash4(pos)];
  for (int steps = maxChain_; candidate >= 0 && steps > 0; --steps) {
    const size_t distance = pos - static_cast<size_t>(candidate);
    if (distance > static_cast<size_t>(RingSize)) break;
    const uint8_t* there = text + candidate;
    // Only a match that beats `best` matters, so its byte at `best` must agree.
    if (there[best] == here[best]) {
      const int length = CommonPrefix(there, here, maxLength);
      if (length > best) {
        best = length;
        onLonger(length, static_cast<int>(distance));
        if (length == maxLength) break;
      }
    }
    const int32_t next = prev[static_cast<size_t>(candidate) & kChainMask];
    if (next >= candidate) break;  // the link was overwritten by a newer position
    candidate = next;
  }
}

MatchFinder::Match MatchFinder::Longest(size_t pos, int maxLength) const {
  Match best;
  Search(pos, maxLength, [&best](int length, int distance) { best = {length, distance}; });
  return best;
}

int MatchFinder::Improving(size_t pos, int maxLength, Match* out) const {
  int count = 0;
  Search(pos, maxLength, [&](int length, int distance) { out[count++] = {length, distance}; });
  return count;
}

TreeMatchFinder::TreeMatchFinder(const std::vector<uint8_t>& text, int maxDepth)
    : text_(text),
      maxDepth_(maxDepth),
      head3_(size_t{1} << kHash3Bits, -1),
      head4_(size_t{1} << kHash4Bits, -1),
      children_(2 * (kSlotMask + 1), -1) {}

int TreeMatchFinder::FindAndInsert(size_t pos, int maxLength, Match* out) { return Walk<true>(pos, maxLength, out); }

void TreeMatchFinder::Skip(size_t pos) {
  Walk<false>(pos, static_cast<int>(std::min<size_t>(MaxMatch, text_.size() - pos)), nullptr);
}

// Walks down from the root of pos's tree, comparing pos with each node, and
// rebuilds the path around pos as the new root: nodes smaller than pos go to
// its left subtree, greater ones to its right. `smallerLength` and
// `greaterLength` are how many bytes pos shares with the nearest bounds on
// either side, so every node below them shares at least the lesser of the two
// and the comparison starts there. A node equal to pos for all `maxLength`
// bytes is replaced by pos, which is nearer.
template <bool kReport>
int TreeMatchFinder::Walk(size_t pos, int maxLength, Match* out) {
  if (pos + MinMatch > text_.size()) return 0;
  const uint8_t* const text = text_.data();
  const uint8_t* const here = text + pos;
  int32_t* const children = children_.data();
  int best = MinMatch - 1;
  int count = 0;

  const uint32_t v3 = uint32_t{here[0]} << 16 | uint32_t{here[1]} << 8 | here[2];
  int32_t& newest3 = head3_[(v3 * 2654435761u) >> (32 - kHash3Bits)];
  const int32_t nearest = newest3;
  newest3 = static_cast<int32_t>(pos);
  if (kReport && nearest >= 0 && pos - static_cast<size_t>(nearest) <= static_cast<size_t>(RingSize)) {
    const int length = CommonPrefix(text + nearest, here, std::min(maxLength, 4));
    if (length >= MinMatch) {
      // A fourth byte in common too makes this a match the tree will report.
      if (length == 3 || maxLength == 3) {
        best = 3;
        out[count++] = {3, static_cast<int>(pos - static_cast<size_t>(nearest))};
      }
    }
  }
  if (pos + 4 > text_.size()) return count;

  const uint32_t v4 = v3 << 8 | here[3];
  int32_t& root = head4_[(v4 * 2654435761u) >> (32 - kHash4Bits)];
  int32_t node = root;
  root = static_cast<int32_t>(pos);

  const size_t slot = (pos & kSlotMask) * 2;
  int32_t* smallerLink = children + slot;       // where the next node smaller than pos hangs
  int32_t* greaterLink = children + slot + 1;   // where the next node greater than pos hangs
  int smallerLength = 0, greaterLength = 0;
  for (int depth = maxDepth_;; --depth) {
    if (node < 0 || depth == 0 || pos - static_cast<size_t>(node) > static_cast<size_t>(RingSize)) {
      *smallerLink = *greaterLink = -1;
      return count;
    }
    const size_t distance = pos - static_cast<size_t>(node);
    int32_t* const pair = children + (static_cast<size_t>(node) & kSlotMask) * 2;
    const uint8_t* const there = text + node;
    int length = std::min(smallerLength, greaterLength);
    length += CommonPrefix(there + length, here + length, maxLength - length);
    if (length > best) {
      best = length;
      if (kReport) out[count++] = {length, static_cast<int>(distance)};
    }
    if (length == maxLength) {
      // Equal as far as we look: pos takes over the node's subtrees.
      *smallerLink = pair[0];
      *greaterLink = pair[1];
      return count;
    }
    if (there[length] < here[length]) {
      *smallerLink = node;
      smallerLink = pair + 1;
      node = *smallerLink;
      smallerLength = length;
    } else {
      *greaterLink = node;
      greaterLink = pair;
      node = *greaterLink;
      greaterLength = length;
    }
  }
}
