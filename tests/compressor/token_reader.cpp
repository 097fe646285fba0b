#include "token_reader.h"

#include "huffman_model.h"
#include "lzh_format.h"

namespace hzltest {

namespace {

class BitCursor {
 public:
  BitCursor(const std::vector<uint8_t>& bytes, size_t from) : bytes_(bytes), bit_(from * 8) {}
  // The next bit; past the end, 0 and `overrun` set.
  unsigned Bit() {
    const size_t byte = bit_ / 8;
    if (byte >= bytes_.size()) {
      overrun = true;
      ++bit_;
      return 0;
    }
    const unsigned b = (bytes_[byte] >> (7 - bit_ % 8)) & 1u;
    ++bit_;
    return b;
  }
  unsigned Bits(int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
  size_t Position() const { return bit_; }
  bool overrun = false;

 private:
  const std::vector<uint8_t>& bytes_;
  size_t bit_;
};

int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
                              uint32_t{b[at + 3]} << 24);
}

}  // namespace

TokenStream ReadTokens(const std::vector<uint8_t>& file) {
  TokenStream r;
  if (file.size() < 8 || static_cast<uint32_t>(Le32(file, 0)) != 0x4C5A4821u) {
    r.faults.push_back("no !HZL head");
    return r;
  }
  r.declaredSize = Le32(file, 4);
  r.streamBytes = file.size() - 8;
  BitCursor in(file, 8);
  HuffmanModel model;
  HuffmanStart(model);
  // The window as the decoder sees it: the initial spaces, then the output.
  // A copy may read only cells that hold one of these.
  std::vector<uint8_t> window(InitialRingPos, RingFillByte);
  const int64_t target = r.declaredSize > 0 ? r.declaredSize : 0;
  while (static_cast<int64_t>(r.output.size()) < target) {
    const size_t symbolStart = in.Position();
    const int symbol = DecodeSymbol(model, [&in] { return static_cast<int>(in.Bit()); });
    const int codeBits = static_cast<int>(in.Position() - symbolStart);
    const int64_t at = static_cast<int64_t>(r.output.size());
    if (symbol < 256) {
      r.tokens.push_back({at, 1, 0, codeBits});
      r.output.push_back(static_cast<uint8_t>(symbol));
      window.push_back(static_cast<uint8_t>(symbol));
    } else {
      const unsigned b = in.Bits(8);
      unsigned position = PosHighTable[b] * 64u;
      unsigned low = b;
      for (int k = 0; k < PosLenTable[b] - 2; ++k) low = (low << 1) | in.Bit();
      position |= low & 63u;
      const int length = symbol - MatchSymbolBase;
      const int distance = static_cast<int>(position) + 1;
      r.tokens.push_back({at, length, distance, codeBits});
      if (static_cast<size_t>(distance) > window.size()) {
        r.faults.push_back("match at " + std::to_string(at) + " reaches " + std::to_string(distance) +
                           " back, into window cells not yet written");
        return r;
      }
      if (at + length > target) {
        r.faults.push_back("match at " + std::to_string(at) + " of length " + std::to_string(length) +
                           " runs past the declared size");
      }
      for (int k = 0; k < length; ++k) {
        const uint8_t x = window[window.size() - static_cast<size_t>(distance)];
        window.push_back(x);
        r.output.push_back(x);
      }
    }
    if (in.overrun) {
      r.faults.push_back("stream ends inside the symbol at " + std::to_string(at));
      return r;
    }
  }
  r.bitsUsed = in.Position() - 64;
  const size_t usedBytes = (r.bitsUsed + 7) / 8;
  if (usedBytes != r.streamBytes) {
    r.faults.push_back(std::to_string(r.streamBytes - usedBytes) + " stream bytes after the last symbol");
  } else if (usedBytes > 0) {
    const unsigned spare = static_cast<unsigned>(usedBytes * 8 - r.bitsUsed);
    r.paddingZero = (file.back() & ((1u << spare) - 1u)) == 0;
    if (!r.paddingZero) r.faults.push_back("padding bits of the last byte are not zero");
  }
  return r;
}

}  // namespace hzltest
