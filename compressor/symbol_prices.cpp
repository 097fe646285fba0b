#include "symbol_prices.h"

void CodeLengths(const HuffmanModel& model, uint8_t (&lengths)[SymbolCount]) {
  // Parents sit above their children, so one downward sweep from the root
  // knows every node's depth before it reaches the node's children.
  uint8_t depth[NodeCount];
  depth[RootNode] = 0;
  for (int p = RootNode; p >= 0; --p) {
    const unsigned c = model.Child[p];
    if (c >= static_cast<unsigned>(LeafBase)) {
      lengths[c - LeafBase] = depth[p];
    } else {
      depth[c] = depth[c + 1] = static_cast<uint8_t>(depth[p] + 1);
    }
  }
}

uint64_t CodedBits(HuffmanModel& model, const Token* tokens, size_t count, const uint8_t* text) {
  uint64_t bits = 0;
  for (size_t i = 0; i < count; ++i) {
    const Token& t = tokens[i];
    int symbol;
    if (t.distance == 0) {
      symbol = *text;
    } else {
      symbol = t.length + MatchSymbolBase;
      bits += static_cast<uint64_t>(PositionBits(t.distance));
    }
    bits += static_cast<uint64_t>(CodeOf(model, symbol).length);
    HuffmanUpdate(model, symbol);
    text += t.length;
  }
  return bits;
}
