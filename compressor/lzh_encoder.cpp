#include "lzh_encoder.h"

#include <stdexcept>

#include "lzh_format.h"

LzhEncoder::LzhEncoder(std::vector<uint8_t>& out) : bits_(out) { HuffmanStart(model_); }

void LzhEncoder::PutSymbol(int symbol) {
  const SymbolCode code = CodeOf(model_, symbol);
  bits_.Put(code.bits, code.length);
  HuffmanUpdate(model_, symbol);
}

void LzhEncoder::Literal(uint8_t byte) {
  PutSymbol(byte);
  ++produced_;
}

void LzhEncoder::Match(int length, int distance) {
  if (length < MinMatch || length > MaxMatch) throw std::logic_error("match length outside 3..60");
  // Output byte n sits at window cell InitialRingPos + n: a copy may reach
  // back over the produced bytes and the initial spaces, no further.
  if (distance < 1 || distance > RingSize || distance > produced_ + InitialRingPos)
    throw std::logic_error("match distance outside the written window");
  PutSymbol(length + MatchSymbolBase);
  const unsigned position = static_cast<unsigned>(distance - 1);
  const unsigned high = position >> 6;
  bits_.Put(kPositionTables.codeOf[high], kPositionTables.lengthOf[high]);
  bits_.Put(position & 63u, 6);
  produced_ += length;
}
