#include "hzl_compressor.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "file_expander.h"
#include "lzh_encoder.h"
#include "lzh_format.h"
#include "match_finder.h"

namespace {

struct LevelSettings {
  int maxChain;
};
constexpr LevelSettings kLevels[] = {
    {4}, {8}, {16}, {32}, {64}, {128}, {256}, {1024}, {4096},
};

constexpr size_t kProgressStep = size_t{1} << 20;

void PutHead(std::vector<uint8_t>& out, int32_t size) {
  const uint32_t sig = LzhSignature;
  const uint32_t n = static_cast<uint32_t>(size);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(sig >> shift));
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(n >> shift));
}

}  // namespace

std::vector<uint8_t> CompressToContainer(const uint8_t* data, size_t size, int level,
                                         const CompressProgress& progress) {
  if (level < kFastestLevel || level > kBestLevel) throw std::invalid_argument("compression level must be 1 to 9");
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw std::length_error("input too large for a !HZL file (2 GiB - 1 at most)");

  std::vector<uint8_t> out;
  out.reserve(ContainerHeadSize + size / 2 + 64);
  PutHead(out, static_cast<int32_t>(size));

  // The decoder's window starts as InitialRingPos spaces; put them in front.
  std::vector<uint8_t> text(InitialRingPos + size, RingFillByte);
  if (size > 0) std::memcpy(text.data() + InitialRingPos, data, size);

  const LevelSettings& settings = kLevels[level - 1];
  MatchFinder finder(text, settings.maxChain);
  for (size_t p = 0; p < InitialRingPos; ++p) finder.Insert(p);

  LzhEncoder encoder(out);
  size_t pos = InitialRingPos;
  size_t nextReport = kProgressStep;
  while (pos < text.size()) {
    const int room = static_cast<int>(std::min<size_t>(MaxMatch, text.size() - pos));
    const MatchFinder::Match m = finder.Longest(pos, room);
    if (m.length >= MinMatch) {
      encoder.Match(m.length, m.distance);
      for (int k = 0; k < m.length; ++k) finder.Insert(pos + static_cast<size_t>(k));
      pos += static_cast<size_t>(m.length);
    } else {
      encoder.Literal(text[pos]);
      finder.Insert(pos);
      ++pos;
    }
    if (progress && pos - InitialRingPos >= nextReport) {
      progress(pos - InitialRingPos, size);
      nextReport += kProgressStep;
    }
  }
  encoder.Finish();
  if (progress) progress(size, size);
  return out;
}
