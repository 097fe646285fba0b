#pragma once
// The adaptive Huffman model that codes literals (symbols 0..255) and match
// lengths 3..60 (symbols 256..313). Encoder and decoder run it in lock step,
// so every comparison and tie-break here is part of the file format.
//
// Nodes live at positions 0..626, weights never decreasing with position; the
// root is at 626. Children of an internal node sit at an even position and the
// odd one after it (bit 0, bit 1). A Child value of 627 or more is a leaf
// holding symbol value - 627.

#include <cstdint>

constexpr int SymbolCount = 314;
constexpr int NodeCount = 2 * SymbolCount - 1;  // 627
constexpr int RootNode = NodeCount - 1;         // 626
constexpr unsigned FreqLimit = 0x8000;          // root weight that triggers a rebuild
constexpr int LeafBase = NodeCount;             // Child value of the leaf of symbol 0

struct HuffmanModel {
  uint16_t Freq[NodeCount + 1];           // [627] is a 0xFFFF sentinel ending upward searches
  uint16_t Child[NodeCount];
  uint16_t Parent[NodeCount + SymbolCount];  // [627 + s] is the position of symbol s's leaf
};

// Start state: every symbol weighs 1; symbols 116..313 get 8-bit codes and
// 0..115 get 9-bit codes.
void HuffmanStart(HuffmanModel& model);

// Counts one more occurrence of `symbol`, rebuilding first when the root has
// reached FreqLimit.
void HuffmanUpdate(HuffmanModel& model, int symbol);

// Halves every leaf weight (rounding up) and builds the tree afresh.
void HuffmanRebuild(HuffmanModel& model);

// Walks from the root, one bit per level, then updates the model. The symbol
// is decoded with the tree as it stood before its own update.
template <typename ReadBitFn>
int DecodeSymbol(HuffmanModel& model, ReadBitFn&& readBit) {
  unsigned p = model.Child[RootNode];
  while (p < static_cast<unsigned>(LeafBase)) p = model.Child[p + readBit()];
  int symbol = static_cast<int>(p) - LeafBase;
  HuffmanUpdate(model, symbol);
  return symbol;
}

// The current code of `symbol`: its bits, the first one to send in the most
// significant place, and their number (at most 32 given the weight limit).
struct SymbolCode {
  uint32_t bits;
  int length;
};
SymbolCode CodeOf(const HuffmanModel& model, int symbol);
