// The optimal parser: a forward shortest-path search over each block, every
// edge a literal or a match priced from the adaptive model.
//
// The model changes after every symbol, so no static price is exact. A block
// is parsed with the code lengths the model has as the block starts; further
// passes re-price from the state the previous parse would leave behind, and
// each candidate parse is run through a copy of the real model to count its
// exact bits. Only the tokens that start inside the block are written; the
// MaxMatch bytes after it are parsed too, so a match may run across the edge.

#include <algorithm>
#include <cstring>

#include "lzh_format.h"
#include "match_finder.h"
#include "parsers.h"
#include "symbol_prices.h"

namespace {

// Prices are in sixteenths of a bit, so blended code lengths keep their fraction.
constexpr uint32_t kPriceScale = 16;

struct Prices {
  uint32_t literal[256];
  uint32_t length[MaxMatch + 1];  // the length symbol's code; index = match length
  uint32_t position[kPositionClassCount];

  void From(const HuffmanModel& model) {
    uint8_t lengths[SymbolCount];
    CodeLengths(model, lengths);
    for (int s = 0; s < 256; ++s) literal[s] = lengths[s] * kPriceScale;
    for (int l = MinMatch; l <= MaxMatch; ++l) length[l] = lengths[l + MatchSymbolBase] * kPriceScale;
    for (int c = 0; c < kPositionClassCount; ++c)
      position[c] = static_cast<uint32_t>(kPositionTables.lengthOf[0] + c + 6) * kPriceScale;
  }

  // The mean of two price sets.
  void Blend(const Prices& other) {
    for (int s = 0; s < 256; ++s) literal[s] = (literal[s] + other.literal[s]) / 2;
    for (int l = MinMatch; l <= MaxMatch; ++l) length[l] = (length[l] + other.length[l]) / 2;
  }
};

class OptimalParser {
 public:
  OptimalParser(const std::vector<uint8_t>& text, const OptimalSettings& settings, LzhEncoder& encoder,
                ProgressTicker& ticker)
      : text_(text),
        settings_(settings),
        encoder_(encoder),
        ticker_(ticker),
        finder_(text, settings.maxDepth),
        best_(static_cast<size_t>(settings.blockSize) + MaxMatch + 1) {
    for (size_t p = 0; p < static_cast<size_t>(InitialRingPos); ++p) finder_.Skip(p);
    listBase_ = searched_ = InitialRingPos;
    first_.push_back(0);
  }

  void Run() {
    const size_t end = text_.size();
    size_t start = InitialRingPos;
    std::vector<Token> best, candidate;
    while (start < end) {
      const size_t n = std::min<size_t>(static_cast<size_t>(settings_.blockSize) + MaxMatch, end - start);
      SearchUpTo(start + n);

      Prices prices;
      prices.From(encoder_.Model());
      Parse(start, n, prices, best);
      if (settings_.passes > 1) {
        HuffmanModel after = encoder_.Model();
        uint64_t bestBits = CodedBits(after, best.data(), best.size(), text_.data() + start);
        const Prices startPrices = prices;
        for (int pass = 1; pass < settings_.passes; ++pass) {
          prices.From(after);
          prices.Blend(startPrices);
          Parse(start, n, prices, candidate);
          after = encoder_.Model();
          const uint64_t bits = CodedBits(after, candidate.data(), candidate.size(), text_.data() + start);
          if (bits < bestBits) {
            bestBits = bits;
            best.swap(candidate);
          }
        }
      }

      // Write the tokens that start inside the block (all of them at the end).
      const size_t limit = start + n == end ? n : static_cast<size_t>(settings_.blockSize);
      size_t offset = 0;
      for (const Token& t : best) {
        if (offset >= limit) break;
        if (t.distance == 0) {
          encoder_.Literal(text_[start + offset]);
        } else {
          encoder_.Match(t.length, t.distance);
        }
        offset += t.length;
      }
      start += offset;
      DropBefore(start);
      ticker_.Advance(start - InitialRingPos);
    }
  }

 private:
  // Finds the matches of every position below `end` not yet searched.
  void SearchUpTo(size_t end) {
    MatchFinder::Match found[MatchFinder::kMaxImproving];
    for (; searched_ < end; ++searched_) {
      if (searched_ >= skipUntil_) {
        const int room = static_cast<int>(std::min<size_t>(MaxMatch, text_.size() - searched_));
        const int count = finder_.FindAndInsert(searched_, room, found);
        pool_.insert(pool_.end(), found, found + count);
        if (count > 0 && found[count - 1].length >= settings_.takeAtOnce)
          skipUntil_ = searched_ + static_cast<size_t>(found[count - 1].length);
      } else {
        finder_.Skip(searched_);
      }
      first_.push_back(static_cast<uint32_t>(pool_.size()));
    }
  }

  // Forgets the matches of positions below `pos`.
  void DropBefore(size_t pos) {
    const size_t k = pos - listBase_;
    const uint32_t offset = first_[k];
    pool_.erase(pool_.begin(), pool_.begin() + offset);
    first_.erase(first_.begin(), first_.begin() + static_cast<std::ptrdiff_t>(k));
    for (uint32_t& f : first_) f -= offset;
    listBase_ = pos;
  }

  // The cheapest parse of the n bytes from `start` under `prices`, in order.
  //
  // best_[k] holds the cheapest way found to cover the first k bytes, packed
  // as cost << 32 | last token's length << 16 | its distance, so one unsigned
  // minimum (branch-free) keeps it. Among equal costs the shorter last token
  // wins: the path that reaches k with the later start. On repetitive data,
  // where many parses tie, that keeps the odd-length token needed to fit the
  // block at the block's far end, which is not written, rather than at its
  // start.
  void Parse(size_t start, size_t n, const Prices& prices, std::vector<Token>& tokens) {
    std::fill(best_.begin() + 1, best_.begin() + static_cast<std::ptrdiff_t>(n) + 1, ~uint64_t{0});
    best_[0] = 0;
    uint64_t* const best = best_.data();
    const uint8_t* const bytes = text_.data() + start;
    const uint32_t* const first = first_.data() + (start - listBase_);
    const MatchFinder::Match* const pool = pool_.data();
    for (size_t i = 0; i < n; ++i) {
      const uint64_t here = best[i] >> 32;
      const uint64_t literal = (here + prices.literal[bytes[i]]) << 32 | uint64_t{1} << 16;
      best[i + 1] = std::min(best[i + 1], literal);
      const MatchFinder::Match* m = pool + first[i];
      const MatchFinder::Match* const mEnd = pool + first[i + 1];
      const int room = static_cast<int>(std::min<size_t>(MaxMatch, n - i));
      int length = MinMatch;
      for (; m != mEnd; ++m) {
        const int cap = std::min(m->length, room);
        const uint64_t base = here + prices.position[PositionClass(m->distance)];
        const uint64_t distance = static_cast<uint64_t>(m->distance);
        for (; length <= cap; ++length) {
          const uint64_t c = (base + prices.length[length]) << 32 | static_cast<uint64_t>(length) << 16 | distance;
          uint64_t& target = best[i + static_cast<size_t>(length)];
          target = std::min(target, c);
        }
        if (cap < m->length) break;
      }
    }
    tokens.clear();
    for (size_t k = n; k > 0;) {
      const Token t{static_cast<uint16_t>(best[k] >> 16), static_cast<uint16_t>(best[k])};
      tokens.push_back(t.length == 1 ? Token{1, 0} : t);
      k -= t.length;
    }
    std::reverse(tokens.begin(), tokens.end());
  }

  const std::vector<uint8_t>& text_;
  const OptimalSettings& settings_;
  LzhEncoder& encoder_;
  ProgressTicker& ticker_;
  TreeMatchFinder finder_;

  // Matches of positions listBase_ .. searched_ - 1: those of position p are
  // pool_[first_[p - listBase_]] up to pool_[first_[p - listBase_ + 1]].
  std::vector<MatchFinder::Match> pool_;
  std::vector<uint32_t> first_;
  size_t listBase_ = 0;
  size_t searched_ = 0;
  size_t skipUntil_ = 0;

  std::vector<uint64_t> best_;
};

}  // namespace

void ParseOptimal(const std::vector<uint8_t>& text, const OptimalSettings& settings, LzhEncoder& encoder,
                  ProgressTicker& ticker) {
  OptimalParser(text, settings, encoder, ticker).Run();
}
