#include "hzl_compressor.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "file_expander.h"
#include "lzh_encoder.h"
#include "lzh_format.h"
#include "parsers.h"

namespace {

enum class Parser { Greedy, Lazy, Optimal };

struct ParseSettings {
  Parser parser;
  int depth;       // hash chain steps (greedy, lazy) or tree nodes (optimal) per search
  int takeAtOnce;  // a match this long is taken without looking further
  int blockSize;   // optimal: bytes parsed under one set of prices
  int passes;      // optimal: parses tried per block
};

// A level runs each of its parses over the whole input and keeps the
// smallest result.
struct LevelSettings {
  ParseSettings tries[3];
  int count;
};

constexpr ParseSettings kDefaultParse = {Parser::Optimal, 16, 32, 8192, 1};
constexpr ParseSettings kTwoPassParse = {Parser::Optimal, 64, MaxMatch, 8192, 2};
constexpr ParseSettings kSmallBlockParse = {Parser::Optimal, 64, MaxMatch, 1024, 2};

// Level 1 stays plain greedy longest-match: it is the yardstick the others
// are measured against. The optimal parses differ little from each other in
// size, each winning on some inputs, so levels 8 and 9 try several, the
// default's among them, and are never larger than the default.
constexpr LevelSettings kLevels[] = {
    {{{Parser::Greedy, 4, MaxMatch, 0, 0}}, 1},
    {{{Parser::Greedy, 16, MaxMatch, 0, 0}}, 1},
    {{{Parser::Lazy, 16, 32, 0, 0}}, 1},
    {{{Parser::Lazy, 64, 48, 0, 0}}, 1},
    {{{Parser::Optimal, 8, 24, 4096, 1}}, 1},
    {{kDefaultParse}, 1},
    {{kTwoPassParse}, 1},
    {{kDefaultParse, kTwoPassParse}, 2},
    {{kDefaultParse, kTwoPassParse, kSmallBlockParse}, 3},
};
static_assert(sizeof(kLevels) / sizeof(kLevels[0]) == kBestLevel - kFastestLevel + 1, "one row per level");
static_assert(kLevels[kDefaultLevel - kFastestLevel].tries[0].parser == Parser::Optimal, "the default parses optimally");

void PutHead(std::vector<uint8_t>& out, int32_t size) {
  const uint32_t sig = LzhSignature;
  const uint32_t n = static_cast<uint32_t>(size);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(sig >> shift));
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(n >> shift));
}

// One parse of `text` (the spaces, then the `size` input bytes) into a
// complete "!HZL" file.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& text, size_t size, const ParseSettings& settings,
                              const CompressProgress& progress) {
  std::vector<uint8_t> out;
  out.reserve(ContainerHeadSize + size / 2 + 64);
  PutHead(out, static_cast<int32_t>(size));
  LzhEncoder encoder(out);
  ProgressTicker ticker(progress, size);
  switch (settings.parser) {
    case Parser::Greedy:
      ParseGreedy(text, settings.depth, encoder, ticker);
      break;
    case Parser::Lazy:
      ParseLazy(text, settings.depth, settings.takeAtOnce, encoder, ticker);
      break;
    case Parser::Optimal:
      ParseOptimal(text, {settings.depth, settings.blockSize, settings.passes, settings.takeAtOnce}, encoder, ticker);
      break;
  }
  if (encoder.Produced() != static_cast<int64_t>(size)) throw std::logic_error("parse does not cover the input");
  encoder.Finish();
  return out;
}

}  // namespace

std::vector<uint8_t> CompressToContainer(const uint8_t* data, size_t size, int levelNumber,
                                         const CompressProgress& progress) {
  if (levelNumber < kFastestLevel || levelNumber > kBestLevel) throw std::invalid_argument("compression level must be 1 to 9");
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw std::length_error("input too large for a !HZL file (2 GiB - 1 at most)");

  // The decoder's window starts as InitialRingPos spaces; put them in front.
  std::vector<uint8_t> text(InitialRingPos + size, RingFillByte);
  if (size > 0) std::memcpy(text.data() + InitialRingPos, data, size);

  const LevelSettings& level = kLevels[levelNumber - kFastestLevel];
  std::vector<uint8_t> best;
  for (int t = 0; t < level.count; ++t) {
    // Progress runs once from 0 to size over all the tries.
    CompressProgress share;
    if (progress) {
      share = [&progress, t, count = level.count](size_t done, size_t total) {
        const uint64_t overall = (static_cast<uint64_t>(t) * total + done) / static_cast<uint64_t>(count);
        progress(static_cast<size_t>(overall), total);
      };
    }
    std::vector<uint8_t> out = Compress(text, size, level.tries[t], share);
    if (best.empty() || out.size() < best.size()) best.swap(out);
  }
  if (progress) progress(size, size);
  return best;
}
