#pragma once
// What the model in its present state charges for each choice a parser can
// make, in bits: the code length of every symbol, read off the tree, and the
// fixed cost of a position.

#include <cstddef>
#include <cstdint>

#include "huffman_model.h"
#include "lzh_format.h"

// The code length of every symbol under `model` (its leaf's depth).
void CodeLengths(const HuffmanModel& model, uint8_t (&lengths)[SymbolCount]);

// Position code classes: distances 1..64 cost 3 + 6 bits, up to 256 4 + 6, up
// to 768 5 + 6, up to 1536 6 + 6, up to 3072 7 + 6, up to 4096 8 + 6. A
// nearer match never costs more.
constexpr int kPositionClassCount = 6;

inline int PositionClass(int distance) {
  return kPositionTables.lengthOf[(distance - 1) >> 6] - kPositionTables.lengthOf[0];
}
inline int PositionBits(int distance) { return kPositionTables.lengthOf[(distance - 1) >> 6] + 6; }

// One symbol of a parse: a literal (length 1) or a match.
struct Token {
  uint16_t length;    // 1 for a literal, MinMatch..MaxMatch for a match
  uint16_t distance;  // 1..RingSize for a match, 0 for a literal
};

// The exact number of bits `tokens` take when coded from `model` onwards,
// `text` holding the bytes they stand for; `model` ends in the state after
// the last of them.
uint64_t CodedBits(HuffmanModel& model, const Token* tokens, size_t count, const uint8_t* text);
