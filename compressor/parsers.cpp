#include "parsers.h"

#include <algorithm>

#include "lzh_format.h"
#include "match_finder.h"
#include "symbol_prices.h"

namespace {

int Room(const std::vector<uint8_t>& text, size_t pos) {
  return static_cast<int>(std::min<size_t>(MaxMatch, text.size() - pos));
}

void InsertWindowFill(MatchFinder& finder) {
  for (size_t p = 0; p < static_cast<size_t>(InitialRingPos); ++p) finder.Insert(p);
}

void InsertRange(MatchFinder& finder, size_t from, size_t to) {
  for (size_t p = from; p < to; ++p) finder.Insert(p);
}

}  // namespace

void ParseGreedy(const std::vector<uint8_t>& text, int maxChain, LzhEncoder& encoder, ProgressTicker& ticker) {
  MatchFinder finder(text, maxChain);
  InsertWindowFill(finder);
  size_t pos = InitialRingPos;
  while (pos < text.size()) {
    const MatchFinder::Match m = finder.Longest(pos, Room(text, pos));
    if (m.length >= MinMatch) {
      encoder.Match(m.length, m.distance);
      InsertRange(finder, pos, pos + static_cast<size_t>(m.length));
      pos += static_cast<size_t>(m.length);
    } else {
      encoder.Literal(text[pos]);
      finder.Insert(pos);
      ++pos;
    }
    ticker.Advance(pos - InitialRingPos);
  }
}

void ParseLazy(const std::vector<uint8_t>& text, int maxChain, int takeAtOnce, LzhEncoder& encoder,
               ProgressTicker& ticker) {
  constexpr size_t kRepriceEvery = 1024;
  MatchFinder finder(text, maxChain);
  InsertWindowFill(finder);

  uint8_t prices[SymbolCount];
  size_t nextReprice = 0;
  auto literals = [&](size_t from, size_t to) {
    int bits = 0;
    for (size_t p = from; p < to; ++p) bits += prices[text[p]];
    return bits;
  };
  auto matchBits = [&](const MatchFinder::Match& m) { return prices[m.length + MatchSymbolBase] + PositionBits(m.distance); };
  // Whether a literal at `at` followed by `next` beats `current` at `at`.
  // Only a longer match, or one as long but in a cheaper distance class, is a
  // candidate: deferring for an equal one would just shift the same run of
  // matches by a byte. Both choices are priced over the same span, up to where
  // `next` ends; the bytes `current` leaves uncovered count as literals.
  auto deferPays = [&](const MatchFinder::Match& current, const MatchFinder::Match& next, size_t at) {
    const bool better = next.length > current.length ||
                        (next.length == current.length && PositionClass(next.distance) < PositionClass(current.distance));
    if (!better) return false;
    const size_t endCurrent = at + static_cast<size_t>(current.length);
    const size_t endNext = at + 1 + static_cast<size_t>(next.length);
    const size_t end = std::max(endCurrent, endNext);
    const int costCurrent = matchBits(current) + literals(endCurrent, end);
    const int costDeferred = prices[text[at]] + matchBits(next) + literals(endNext, end);
    return costDeferred < costCurrent;
  };

  size_t pos = InitialRingPos;
  MatchFinder::Match current = pos < text.size() ? finder.Longest(pos, Room(text, pos)) : MatchFinder::Match{};
  while (pos < text.size()) {
    if (pos >= nextReprice) {
      CodeLengths(encoder.Model(), prices);
      nextReprice = pos + kRepriceEvery;
    }
    if (current.length < MinMatch) {
      encoder.Literal(text[pos]);
      finder.Insert(pos);
      ++pos;
    } else {
      size_t inserted = pos;  // positions below this are in the finder
      if (current.length < takeAtOnce && pos + 1 < text.size()) {
        finder.Insert(pos);
        inserted = pos + 1;
        const MatchFinder::Match next = finder.Longest(pos + 1, Room(text, pos + 1));
        if (deferPays(current, next, pos)) {
          encoder.Literal(text[pos]);
          ++pos;
          current = next;
          ticker.Advance(pos - InitialRingPos);
          continue;
        }
      }
      encoder.Match(current.length, current.distance);
      InsertRange(finder, inserted, pos + static_cast<size_t>(current.length));
      pos += static_cast<size_t>(current.length);
    }
    current = pos < text.size() ? finder.Longest(pos, Room(text, pos)) : MatchFinder::Match{};
    ticker.Advance(pos - InitialRingPos);
  }
}
