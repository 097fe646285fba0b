#include "huffman_model.h"

#include <cstring>

void HuffmanStart(HuffmanModel& m) {
  for (int s = 0; s < SymbolCount; ++s) {
    m.Freq[s] = 1;
    m.Child[s] = static_cast<uint16_t>(s + LeafBase);
    m.Parent[s + LeafBase] = static_cast<uint16_t>(s);
  }
  int i = 0;
  for (int j = SymbolCount; j < NodeCount; ++j, i += 2) {
    m.Freq[j] = static_cast<uint16_t>(m.Freq[i] + m.Freq[i + 1]);
    m.Child[j] = static_cast<uint16_t>(i);
    m.Parent[i] = m.Parent[i + 1] = static_cast<uint16_t>(j);
  }
  m.Freq[NodeCount] = 0xFFFF;
  m.Parent[RootNode] = 0;
}

void HuffmanRebuild(HuffmanModel& m) {
  // Gather the leaves at the bottom, in their order of position, halved.
  int j = 0;
  for (int i = 0; i < NodeCount; ++i) {
    if (m.Child[i] >= LeafBase) {
      m.Freq[j] = static_cast<uint16_t>((m.Freq[i] + 1) / 2);
      m.Child[j] = m.Child[i];
      ++j;
    }
  }
  // Join pairs; a joined node goes after every node of weight <= its own.
  int i = 0;
  for (j = SymbolCount; j < NodeCount; ++j, i += 2) {
    unsigned f = m.Freq[i] + m.Freq[i + 1];
    int k = j - 1;
    while (f < m.Freq[k]) --k;
    ++k;
    std::memmove(&m.Freq[k + 1], &m.Freq[k], sizeof(m.Freq[0]) * static_cast<size_t>(j - k));
    m.Freq[k] = static_cast<uint16_t>(f);
    std::memmove(&m.Child[k + 1], &m.Child[k], sizeof(m.Child[0]) * static_cast<size_t>(j - k));
    m.Child[k] = static_cast<uint16_t>(i);
  }
  // Relink parents from the children.
  for (i = 0; i < NodeCount; ++i) {
    unsigned v = m.Child[i];
    m.Parent[v] = static_cast<uint16_t>(i);
    if (v < static_cast<unsigned>(LeafBase)) m.Parent[v + 1] = static_cast<uint16_t>(i);
  }
}

void HuffmanUpdate(HuffmanModel& m, int symbol) {
  if (m.Freq[RootNode] == FreqLimit) HuffmanRebuild(m);
  unsigned p = m.Parent[symbol + LeafBase];
  do {
    unsigned k = ++m.Freq[p];
    if (m.Freq[p + 1] < k) {
      // Move node p past the run of nodes still at weight k - 1: it trades
      // places with the last of them.
      unsigned l = p + 1;
      while (m.Freq[l] < k) ++l;
      --l;
      m.Freq[p] = m.Freq[l];
      m.Freq[l] = static_cast<uint16_t>(k);

      unsigned i = m.Child[p];
      m.Parent[i] = static_cast<uint16_t>(l);
      if (i < static_cast<unsigned>(LeafBase)) m.Parent[i + 1] = static_cast<uint16_t>(l);
      unsigned j = m.Child[l];
      m.Child[l] = static_cast<uint16_t>(i);
      m.Parent[j] = static_cast<uint16_t>(p);
      if (j < static_cast<unsigned>(LeafBase)) m.Parent[j + 1] = static_cast<uint16_t>(p);
      m.Child[p] = static_cast<uint16_t>(j);
      p = l;
    }
    p = m.Parent[p];
  } while (p != 0);
}

SymbolCode CodeOf(const HuffmanModel& m, int symbol) {
  uint32_t bits = 0;
  int length = 0;
  // Climb from the leaf; a node's bit is its position's parity, since every
  // pair of siblings starts at an even position.
  for (unsigned p = m.Parent[symbol + LeafBase]; p != RootNode; p = m.Parent[p]) {
    bits |= static_cast<uint32_t>(p & 1u) << length;
    ++length;
  }
  return {bits, length};
}
