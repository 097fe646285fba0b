#include "lzh_fast_decoder.h"

#include <cstddef>
#include <cstring>

#include "buffered_io.h"
#include "file_expander.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "lzh_format.h"

// How the buffered loop stays indistinguishable from the reference loop.
//
// Input. The reference reader holds at most 16 bits and asks the source for
// one byte before a read whenever 8 or fewer are left; only a request that
// finds the input block used up reaches the file. Between two symbols (every
// symbol and position code ends with a one-bit read) it therefore holds 8 to
// 15 bits and has asked for exactly 1 + ceil(C / 8) bytes of the block, C
// being the bits of the block used so far. While enough of the block is left
// ("in block"), no request of the reference could reach the file, so we look
// at the block directly, 64 bits per symbol, and only count C. Before the
// first symbol and near the block's end we switch to a replica of the
// reference reader that asks BufferedRead for every byte: the file read (or
// its error), the zero bytes at the end of the data and the truncation error
// come up at exactly the request where the reference meets them.
//
// Output. Bytes go straight into the output block; the one byte that arrives
// at a full block goes through BufferedWrite, which writes the block exactly
// as it does for the reference loop.
//
// Cursors. ReadCursor and WriteCursor are brought up to date before every
// call of BufferedRead or BufferedWrite, at the end, and when an exception
// passes.

namespace {

bool g_fastPathEnabled = true;

// No code is longer than 21 bits. Weights never decrease with position and
// siblings sit side by side, so the model is a Huffman tree of its weights:
// on the path up from a leaf at depth d each node weighs at least as much as
// the two below it on the path together, the root at least Fibonacci(d + 2);
// and the root never weighs more than 32768 < Fibonacci(24) when a walk
// starts, whatever the input.
constexpr unsigned kMaxCodeLength = 21;

// A symbol with its position code takes at most 21 + 14 bits, so with 16
// bytes of the block ahead a symbol neither reads past the block nor makes
// the reference reader ask for a byte beyond it.
constexpr int32_t kBlockMargin = 16;

uint64_t LoadBigEndian64(const uint8_t* p) {
  return uint64_t{p[0]} << 56 | uint64_t{p[1]} << 48 | uint64_t{p[2]} << 40 | uint64_t{p[3]} << 32 |
         uint64_t{p[4]} << 24 | uint64_t{p[5]} << 16 | uint64_t{p[6]} << 8 | uint64_t{p[7]};
}

// ---------------------------------------------------------------------------
// Bit sources. Both offer the reference reader's reads: Bit (ReadBit), Bits8
// (ReadBits8) and Bits(n), n ReadBits in a row.

// The reference reader, step for step, over BufferedRead.
class ExactBits {
 public:
  unsigned Bit() {
    Refill();
    Consume(1);
    const unsigned bit = buffer_ >> 15;
    buffer_ = static_cast<uint16_t>(buffer_ << 1);
    count_ -= 1;
    return bit;
  }

  unsigned Bits8() {
    Refill();
    Consume(8);
    const unsigned bits = buffer_ >> 8;
    buffer_ = static_cast<uint16_t>(buffer_ << 8);
    count_ -= 8;
    return bits;
  }

  unsigned Bits(unsigned n) {
    unsigned v = 0;
    for (unsigned k = 0; k < n; ++k) v = (v << 1) | Bit();
    return v;
  }

  // Between symbols: takes over from the block reader after `bitPos` bits of
  // the input block, all of them delivered bytes.
  void Resume(const uint8_t* block, uint32_t bitPos) {
    const uint32_t asked = 1 + (bitPos + 7) / 8;  // bytes of the block asked for
    count_ = 8 * asked - bitPos;                   // 8..15
    const uint32_t first = bitPos / 8;
    const unsigned second = first + 1 < asked ? block[first + 1] : 0u;
    buffer_ = static_cast<uint16_t>(((unsigned{block[first]} << 8) | second) << (bitPos % 8));
    real_ = count_;
    ReadCursor = static_cast<uint16_t>(asked + 1);
  }

  // Between symbols: whether the block reader can take over, and after how
  // many bits of the input block. It can once the reader has started and
  // every bit it holds came from a delivered byte of the block as it is now.
  bool PositionInBlock(uint32_t& bitPos) const {
    const int32_t pos = 8 * (int32_t{ReadCursor} - 1) - static_cast<int32_t>(count_);
    if (count_ == 0 || real_ != count_ || pos < 0) return false;
    bitPos = static_cast<uint32_t>(pos);
    return true;
  }

 private:
  void Refill() {
    while (count_ <= 8) {
      uint8_t byte = 0;
      uint16_t actual = 0;
      BufferedRead(&byte, 1, actual);
      const bool delivered = actual == 1;
      if (!delivered) byte = 0;
      buffer_ = static_cast<uint16_t>(buffer_ | (byte << (8 - count_)));
      if (delivered && real_ == count_) real_ += 8;
      count_ += 8;
    }
  }

  // Using a bit that stands in for a missing byte means the stream was cut.
  void Consume(unsigned n) {
    if (real_ < n) throw ElzhException(kLzhTruncatedMessage);
    real_ -= n;
  }

  uint16_t buffer_ = 0;
  unsigned count_ = 0;
  unsigned real_ = 0;  // leading bits of buffer_ that came from delivered bytes
};

// One look at the input block: the next 57 or more bits of the stream, enough
// for a whole symbol with its position code.
class BlockBits {
 public:
  BlockBits(const uint8_t* block, uint32_t bitPos)
      : word_(LoadBigEndian64(block + bitPos / 8) << (bitPos % 8)) {}

  unsigned Peek(unsigned n) const { return static_cast<unsigned>(word_ >> (64 - n)); }
  void Skip(unsigned n) {
    word_ <<= n;
    used_ += n;
  }
  unsigned Bit() { return Bits(1); }
  unsigned Bits8() { return Bits(8); }
  unsigned Bits(unsigned n) {
    const unsigned bits = Peek(n);
    Skip(n);
    return bits;
  }
  uint32_t Used() const { return used_; }

 private:
  uint64_t word_;
  uint32_t used_ = 0;
};

// ---------------------------------------------------------------------------
// The model: DecodeSymbol's walk and HuffmanUpdate on HuffmanModel's tables,
// with two shortcuts that change no step's outcome.
//
// The walk begins with a look-up of its first kPrefixBits steps. What keeps
// such a table valid while the code adapts: an update changes the tree's
// shape only where it exchanges two nodes, and then only the Child entries of
// those two positions. The table depends on the Child entries of the
// positions within its levels, and these are marked with their depth and
// code; an exchange involving a marked position refills just the entries
// below the two positions, a rebuild refills the whole table. The top of the
// tree is heavy and seldom reordered, so this is rare.
//
// The update climbs from the leaf to the root. Until a node has to move, the
// nodes it counts are the ones the walk just went through, so it takes them
// from the walk's path instead of following Parent one load after the other;
// after the first exchange (or a rebuild) it follows Parent as the reference
// does.

constexpr unsigned kPrefixBits = 6;

class AdaptiveCode {
 public:
  explicit AdaptiveCode(HuffmanModel& model) : m_(model) {}

  // The positions a walk went through, from depth 1 down to the leaf.
  struct Path {
    uint16_t node[kMaxCodeLength];
    unsigned depth = 0;
  };

  // DecodeSymbol: one bit per level from the root, then HuffmanUpdate.
  template <typename Bits>
  unsigned Decode(Bits& in) {
    Path path;
    const unsigned symbol = WalkFrom(m_.Child[RootNode], in, path);
    Count(symbol, path);
    return symbol;
  }

  // DecodeSymbol in two halves, the walk with its first steps taken from the
  // table, and Count (HuffmanUpdate) with the walk's path. Count must follow
  // before the next walk.
  unsigned WalkByPrefix(BlockBits& in, Path& path) {
    if (stale_) FillPrefixTable();
    const PrefixStep& step = prefix_[in.Peek(kPrefixBits)];
    in.Skip(step.depth);
    std::memcpy(path.node, step.node, sizeof step.node);
    path.depth = step.depth;
    return WalkFrom(step.next, in, path);
  }

  // HuffmanUpdate: rebuild at the limit, then add 1 to every node from the
  // leaf up to the root, moving a node past the run of nodes it now
  // outweighs. The root never moves (Freq[627] is 65535).
  void Count(unsigned symbol, const Path& path) {
    if (m_.Freq[RootNode] == FreqLimit) {
      HuffmanRebuild(m_);
      stale_ = true;
      CountFrom(m_.Parent[symbol + kLeaf]);
      return;
    }
    for (unsigned level = path.depth; level-- > 0;) {
      const unsigned p = path.node[level];
      const unsigned k = ++m_.Freq[p];
      if (m_.Freq[p + 1] < k) {
        CountFrom(m_.Parent[MovePastRun(p, k)]);
        return;
      }
    }
    ++m_.Freq[RootNode];
  }

 private:
  static constexpr unsigned kLeaf = LeafBase;

  // Where a walk stands after the steps a table entry covers: `depth` steps
  // through the positions in `node`, then `next`, the Child value there (a
  // leaf's when the code ends within kPrefixBits bits).
  struct PrefixStep {
    uint16_t next;
    uint16_t depth;
    uint16_t node[kPrefixBits];
  };
  static_assert(kPrefixBits <= 8, "codes of the table's levels fit in a byte");

  // The rest of a walk from the pair at p down to a leaf; returns the symbol.
  template <typename Bits>
  unsigned WalkFrom(unsigned p, Bits& in, Path& path) {
    while (p < kLeaf) {
      const unsigned node = p + in.Bit();
      path.node[path.depth++] = static_cast<uint16_t>(node);
      p = m_.Child[node];
    }
    return p - kLeaf;
  }

  // The rest of HuffmanUpdate from node p up, following Parent.
  void CountFrom(unsigned p) {
    do {
      const unsigned k = ++m_.Freq[p];
      if (m_.Freq[p + 1] < k) p = MovePastRun(p, k);
      p = m_.Parent[p];
    } while (p != 0);
  }

  // Node p has just reached weight k and outweighs p + 1: it trades places
  // with the last node of the run still at k - 1, l. The positions keep their
  // parents; the subtrees below them trade places. Returns l, where p's
  // subtree now hangs.
  unsigned MovePastRun(unsigned p, unsigned k) {
    const unsigned l = LastBelow(p + 1, k);
    m_.Freq[p] = m_.Freq[l];
    m_.Freq[l] = static_cast<uint16_t>(k);

    const unsigned i = m_.Child[p];
    m_.Parent[i] = static_cast<uint16_t>(l);
    if (i < kLeaf) m_.Parent[i + 1] = static_cast<uint16_t>(l);
    const unsigned j = m_.Child[l];
    m_.Child[l] = static_cast<uint16_t>(i);
    m_.Parent[j] = static_cast<uint16_t>(p);
    if (j < kLeaf) m_.Parent[j + 1] = static_cast<uint16_t>(p);
    m_.Child[p] = static_cast<uint16_t>(j);

    if (prefixDepth_[p] | prefixDepth_[l]) RepairPrefixTable(p, l);
    return l;
  }

  // The last position of the run from l on whose weights are below k
  // (Freq[l] is). Weights never decrease with position, so the count of those
  // below k among the next eight is how far the run goes on; no branch per
  // position. The sentinel 65535 at position 627 ends the run at the latest.
  unsigned LastBelow(unsigned l, unsigned k) const {
    constexpr unsigned kStride = 8;
    while (l + kStride <= NodeCount) {
      unsigned below = 0;
      for (unsigned i = 1; i <= kStride; ++i) below += m_.Freq[l + i] < k ? 1u : 0u;
      l += below;
      if (below < kStride) return l;
    }
    while (m_.Freq[l + 1] < k) ++l;
    return l;
  }

  [[gnu::noinline]] void FillPrefixTable() {
    std::memset(prefixDepth_, 0, sizeof prefixDepth_);
    const unsigned pair = m_.Child[RootNode];
    for (unsigned bit = 0; bit < 2; ++bit) FillFrom(pair + bit, 1, bit);
    stale_ = false;
  }

  // Positions p and l have just traded their subtrees, and one of them or
  // both lie within the table's levels. The marks below them describe the old
  // places: drop them, then fill the entries under p and l from what hangs
  // there now. Neither position is above the other (l weighed as much as p),
  // so the ways to them and their entries are apart.
  [[gnu::noinline]] void RepairPrefixTable(unsigned p, unsigned l) {
    if (stale_) return;
    const unsigned depthP = prefixDepth_[p];
    const unsigned depthL = prefixDepth_[l];
    if (depthP != 0 && depthP < kPrefixBits) UnmarkBelow(m_.Child[l]);  // p's old subtree
    if (depthL != 0 && depthL < kPrefixBits) UnmarkBelow(m_.Child[p]);  // l's old subtree
    if (depthP != 0) Refill(p);
    if (depthL != 0) Refill(l);
  }

  void UnmarkBelow(unsigned pair) {
    if (pair >= kLeaf) return;
    for (unsigned node = pair; node <= pair + 1; ++node) {
      if (prefixDepth_[node] == 0) continue;
      prefixDepth_[node] = 0;
      UnmarkBelow(m_.Child[node]);
    }
  }

  // Fills the entries under a marked position afresh; the steps that lead
  // there are in any of its entries.
  void Refill(unsigned node) {
    const unsigned depth = prefixDepth_[node];
    const unsigned code = prefixCode_[node];
    const PrefixStep& lead = prefix_[code << (kPrefixBits - depth)];
    for (unsigned d = 0; d < depth; ++d) fillPath_[d] = lead.node[d];
    FillFrom(node, depth, code);
  }

  // Marks `node`, reached by the `depth` bits `code` through the positions
  // in fillPath_ before it, and fills the entries of every code that begins
  // with those bits.
  void FillFrom(unsigned node, unsigned depth, unsigned code) {
    fillPath_[depth - 1] = static_cast<uint16_t>(node);
    prefixDepth_[node] = static_cast<uint8_t>(depth);
    prefixCode_[node] = static_cast<uint8_t>(code);
    const unsigned next = m_.Child[node];
    if (next < kLeaf && depth < kPrefixBits) {
      for (unsigned bit = 0; bit < 2; ++bit) FillFrom(next + bit, depth + 1, (code << 1) | bit);
      return;
    }
    const unsigned rest = kPrefixBits - depth;
    for (unsigned i = 0; i < (1u << rest); ++i) {
      PrefixStep& entry = prefix_[(code << rest) | i];
      for (unsigned d = 0; d < depth; ++d) entry.node[d] = fillPath_[d];
      entry.next = static_cast<uint16_t>(next);
      entry.depth = static_cast<uint16_t>(depth);
    }
  }

  HuffmanModel& m_;
  PrefixStep prefix_[1u << kPrefixBits] = {};
  uint8_t prefixDepth_[NodeCount] = {};  // depth of a position within the table's levels, else 0
  uint8_t prefixCode_[NodeCount] = {};   // and the bits that lead there
  uint16_t fillPath_[kPrefixBits] = {};  // the positions that lead to the one being filled
  bool stale_ = true;
};

// DecodePosition: the prefix-coded upper 6 bits, then the lower 6.
template <typename Bits>
unsigned DecodePositionFrom(Bits& in) {
  const unsigned b = in.Bits8();
  const unsigned high = PosHighTable[b];
  const unsigned n = PosLenTable[b] - 2u;
  const unsigned low = ((b << n) | in.Bits(n)) & 63u;
  return (high << 6) | low;
}

// ---------------------------------------------------------------------------
// Output: the output block and the window.
//
// The window is kept where the bytes are: the bytes of this decoding in the
// output block, and before them the ring, which gets the last 4096 bytes of
// the block just before the block is written out. The byte produced as number
// t (from 0) belongs in ring cell (InitialRingPos + t) AND 4095, the cell the
// reference loop stores it in; until a block is written the ring holds what
// the reference ring held when the block began, so a match reaching back past
// the start of the block reads the ring just as the reference does.

// A match needs up to 60 bytes of room; copying 8 bytes at a time may write
// up to 7 more, which later bytes overwrite.
constexpr ptrdiff_t kMatchRoom = 64;

struct Output {
  uint8_t* next;        // ExpanderOutputBuffer + WriteCursor - 1
  uint8_t* blockEnd;    // ExpanderOutputBuffer + IoBlockSize
  uint8_t* blockStart;  // the first byte of this decoding in the block
  uint8_t* ring;
  int32_t produced;

  bool HasRoomForMatch() const { return blockEnd - next >= kMatchRoom; }

  // The byte `distance` (1..4096) places back.
  uint8_t Back(unsigned distance) const {
    if (next - blockStart >= static_cast<ptrdiff_t>(distance)) return *(next - distance);
    return ring[(static_cast<unsigned>(InitialRingPos + produced) - distance) & RingMask];
  }

  // A byte for the sink. The one that finds the block full goes to
  // BufferedWrite, which writes the block and then holds the byte.
  void Put(uint8_t byte) {
    if (next < blockEnd) {
      *next++ = byte;
    } else {
      KeepTailInRing();
      WriteCursor = static_cast<uint16_t>(next - ExpanderOutputBuffer + 1);
      uint16_t taken = 0;
      BufferedWrite(&byte, 1, taken);
      blockStart = ExpanderOutputBuffer;
      next = ExpanderOutputBuffer + (WriteCursor - 1);
    }
    ++produced;
  }

  // `length` bytes from `distance` places back, each read after the one
  // before it was stored, so a match that overlaps its own output repeats it;
  // cut where the output reaches `limit`.
  void CopyMatch(unsigned distance, unsigned length, int32_t limit) {
    length = Cut(length, limit);
    for (unsigned k = 0; k < length; ++k) Put(Back(distance));
  }

  // A literal when HasRoomForMatch() holds.
  void PutInBlock(uint8_t byte) {
    *next++ = byte;
    ++produced;
  }

  // CopyMatch when HasRoomForMatch() holds.
  void CopyMatchInBlock(unsigned distance, unsigned length, int32_t limit) {
    length = Cut(length, limit);
    if (next - blockStart < static_cast<ptrdiff_t>(distance)) {
      for (unsigned k = 0; k < length; ++k) PutInBlock(Back(distance));
      return;
    }
    const uint8_t* from = next - distance;
    if (distance >= 8) {
      // Each 8-byte piece reads only bytes stored before it.
      for (unsigned k = 0; k < length; k += 8) std::memcpy(next + k, from + k, 8);
    } else {
      for (unsigned k = 0; k < length; ++k) next[k] = from[k];
    }
    next += length;
    produced += static_cast<int32_t>(length);
  }

 private:
  unsigned Cut(unsigned length, int32_t limit) const {
    const auto left = static_cast<unsigned>(limit - produced);
    return length < left ? length : left;
  }

  // Copies the last bytes of the block (up to 4096) into their ring cells.
  void KeepTailInRing() {
    const auto held = static_cast<unsigned>(next - blockStart);
    const unsigned count = held < RingSize ? held : RingSize;
    const unsigned cell = (static_cast<unsigned>(InitialRingPos + produced) - count) & RingMask;
    const uint8_t* from = next - count;
    const unsigned first = count < RingSize - cell ? count : RingSize - cell;
    std::memcpy(ring + cell, from, first);
    std::memcpy(ring, from + first, count - first);
  }
};

// ---------------------------------------------------------------------------

class BufferedDecoder {
 public:
  BufferedDecoder(HuffmanModel& model, uint8_t* ring, int32_t declaredSize)
      : code_(model), declared_(declaredSize) {
    out_.next = ExpanderOutputBuffer + (WriteCursor - 1);
    out_.blockEnd = ExpanderOutputBuffer + IoBlockSize;
    out_.blockStart = out_.next;
    out_.ring = ring;
    out_.produced = 0;
  }

  void Run() {
    while (out_.produced < declared_) {
      if (inBlock_ && MarginLeft()) {
        if (out_.HasRoomForMatch()) {
          RunInBlock();
          continue;
        }
        BlockBits bits(ExpanderInputBuffer, bitPos_);
        AdaptiveCode::Path path;
        const unsigned symbol = code_.WalkByPrefix(bits, path);
        code_.Count(symbol, path);
        const unsigned position = symbol < 256 ? 0 : DecodePositionFrom(bits);
        bitPos_ += bits.Used();
        Emit(symbol, position);
        continue;
      }
      if (inBlock_) {
        exact_.Resume(ExpanderInputBuffer, bitPos_);
        inBlock_ = false;
      }
      const unsigned symbol = code_.Decode(exact_);
      const unsigned position = symbol < 256 ? 0 : DecodePositionFrom(exact_);
      Emit(symbol, position);
      inBlock_ = exact_.PositionInBlock(bitPos_) && MarginLeft();
    }
  }

  // Leaves ReadCursor and WriteCursor as the reference loop would.
  void SyncCursors() {
    if (inBlock_) ReadCursor = static_cast<uint16_t>(2 + (bitPos_ + 7) / 8);
    WriteCursor = static_cast<uint16_t>(out_.next - ExpanderOutputBuffer + 1);
  }

 private:
  bool MarginLeft() const { return static_cast<int32_t>(bitPos_ / 8) + kBlockMargin <= ReadFill; }

  void Emit(unsigned symbol, unsigned position) {
    if (symbol < 256) out_.Put(static_cast<uint8_t>(symbol));
    else out_.CopyMatch(position + 1, symbol - MatchSymbolBase, declared_);
  }

  // The hot loop: symbols while the input block has the margin and the output
  // block room for a whole match. Nothing in it calls out or can throw, so it
  // works on local copies (stores through byte pointers would otherwise make
  // the compiler reload every member after each byte). A symbol's bytes are
  // stored before its update of the model: nothing outside sees the model,
  // and so the bytes do not wait for the update's branches.
  void RunInBlock() {
    AdaptiveCode& code = code_;
    const uint8_t* const block = ExpanderInputBuffer;
    const auto lastStart = static_cast<uint32_t>(ReadFill - kBlockMargin);  // MarginLeft() held
    const int32_t declared = declared_;
    uint32_t bitPos = bitPos_;
    Output out = out_;
    while (out.produced < declared && bitPos / 8 <= lastStart && out.HasRoomForMatch()) {
      BlockBits bits(block, bitPos);
      AdaptiveCode::Path path;
      const unsigned symbol = code.WalkByPrefix(bits, path);
      if (symbol < 256) {
        out.PutInBlock(static_cast<uint8_t>(symbol));
      } else {
        const unsigned position = DecodePositionFrom(bits);
        out.CopyMatchInBlock(position + 1, symbol - MatchSymbolBase, declared);
      }
      bitPos += bits.Used();
      code.Count(symbol, path);
    }
    bitPos_ = bitPos;
    out_ = out;
  }

  AdaptiveCode code_;
  const int32_t declared_;
  Output out_{};
  ExactBits exact_;
  bool inBlock_ = false;  // reading the block directly; else through exact_
  uint32_t bitPos_ = 0;   // in block: bits of the input block used
};

}  // namespace

bool UsesBufferedFastPath(ByteSourceProc source, ByteSinkProc sink) {
  return g_fastPathEnabled && source == BufferedRead && sink == BufferedWrite;
}

void DecodeBuffered(HuffmanModel& model, uint8_t* ring, int32_t declaredSize) {
  HuffmanStart(model);
  std::memset(ring, RingFillByte, InitialRingPos);
  std::memset(ring + InitialRingPos, RingUnwrittenByte, RingSize - InitialRingPos);
  BufferedDecoder decoder(model, ring, declaredSize);
  try {
    decoder.Run();
  } catch (...) {
    decoder.SyncCursors();
    throw;
  }
  decoder.SyncCursors();
}

void SetBufferedFastPathEnabled(bool enabled) { g_fastPathEnabled = enabled; }
