#pragma once
// The ways of cutting the input into literals and matches, one per group of
// levels. Each runs over `text` (the window's initial spaces followed by the
// input) from InitialRingPos to its end and hands every symbol to `encoder`.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hzl_compressor.h"
#include "lzh_encoder.h"

// Reports progress every kProgressStep input bytes.
class ProgressTicker {
 public:
  ProgressTicker(const CompressProgress& progress, size_t total) : progress_(progress), total_(total) {}
  // `done` input bytes are through.
  void Advance(size_t done) {
    if (progress_ && done >= next_) {
      progress_(done, total_);
      next_ = (done / kProgressStep + 1) * kProgressStep;
    }
  }

 private:
  static constexpr size_t kProgressStep = size_t{1} << 20;
  const CompressProgress& progress_;
  size_t total_;
  size_t next_ = kProgressStep;
};

// The longest match at every step, the nearest among equals; a literal where
// none of MinMatch bytes exists.
void ParseGreedy(const std::vector<uint8_t>& text, int maxChain, LzhEncoder& encoder, ProgressTicker& ticker);

// Looks one byte ahead before taking a match and defers it by a literal when
// the match starting at the next byte saves more bits, priced by the model.
// Matches of `takeAtOnce` bytes or more are taken without looking.
void ParseLazy(const std::vector<uint8_t>& text, int maxChain, int takeAtOnce, LzhEncoder& encoder,
               ProgressTicker& ticker);

struct OptimalSettings {
  int maxDepth;     // nodes one match search visits
  int blockSize;    // bytes parsed together under one set of prices
  int passes;       // parses tried per block (1 = priced from the model at the block's start)
  int takeAtOnce;   // a match this long is taken without searching inside it
};

// Cheapest path through each block, prices from the model as the block starts;
// further passes re-price from the model the previous parse would leave, and
// the parse that codes in fewest bits (through a copy of the real model) wins.
void ParseOptimal(const std::vector<uint8_t>& text, const OptimalSettings& settings, LzhEncoder& encoder,
                  ProgressTicker& ticker);
