#pragma once
// The LZH stream's fixed parameters and its position code, shared by the
// decoder and the compressor.
//
// A stream is a sequence of symbols, most significant bit first: a literal or
// a match length, coded by the adaptive model, and after a length the match
// position (0..4095, distance = position + 1): its upper 6 bits in a fixed
// prefix code of 3 to 8 bits, then its lower 6 bits as they are.

#include <array>
#include <cstdint>

constexpr int RingSize = 4096;
constexpr int RingMask = RingSize - 1;
constexpr int MaxMatch = 60;
constexpr int MinMatch = 3;
// Match symbols are 256..313 for lengths 3..60.
constexpr int MatchSymbolBase = 256 - MinMatch;  // length = symbol - 253

// The window starts as RingSize - MaxMatch spaces; output starts at the first
// cell after them.
constexpr uint8_t RingFillByte = 0x20;
constexpr int InitialRingPos = RingSize - MaxMatch;  // 4036

// Cells InitialRingPos..4095 have no defined content until the first
// MaxMatch output bytes land there. We fill them with the same space as the
// rest of the window, so a stream that reads them (no sound compressor writes
// one) still decodes the same way every time.
constexpr uint8_t RingUnwrittenByte = RingFillByte;

// Canonical prefix code for the upper 6 bits of a position: value ranges
// sharing one code length, handed out in ascending order.
struct PositionCodeGroup {
  int firstValue;
  int lastValue;
  int length;
};
constexpr PositionCodeGroup kPositionCodeGroups[] = {
    {0, 0, 3}, {1, 3, 4}, {4, 11, 5}, {12, 23, 6}, {24, 47, 7}, {48, 63, 8},
};

struct PositionTables {
  std::array<uint8_t, 256> high;    // PosHighTable: upper 6 bits coded by the first 8 bits
  std::array<uint8_t, 256> length;  // PosLenTable: length of that prefix code, 3..8
  std::array<uint8_t, 64> codeOf;   // the prefix code of each upper value
  std::array<uint8_t, 64> lengthOf;
};

constexpr PositionTables MakePositionTables() {
  PositionTables t{};
  unsigned code = 0;
  int prevLength = kPositionCodeGroups[0].length;
  for (const auto& g : kPositionCodeGroups) {
    code <<= (g.length - prevLength);
    prevLength = g.length;
    for (int v = g.firstValue; v <= g.lastValue; ++v, ++code) {
      t.codeOf[v] = static_cast<uint8_t>(code);
      t.lengthOf[v] = static_cast<uint8_t>(g.length);
      const int span = 1 << (8 - g.length);
      for (int k = 0; k < span; ++k) {
        const unsigned b = (code << (8 - g.length)) | static_cast<unsigned>(k);
        t.high[b] = static_cast<uint8_t>(v);
        t.length[b] = static_cast<uint8_t>(g.length);
      }
    }
  }
  return t;
}

inline constexpr PositionTables kPositionTables = MakePositionTables();
inline constexpr const std::array<uint8_t, 256>& PosHighTable = kPositionTables.high;
inline constexpr const std::array<uint8_t, 256>& PosLenTable = kPositionTables.length;
