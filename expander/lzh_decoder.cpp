#include "lzh_decoder.h"

#include <cstring>

#include "huffman_model.h"
#include "lzh_exceptions.h"
#include "lzh_fast_decoder.h"
#include "lzh_format.h"
#include "working_memory.h"

const char* const kLzhNoTablesMessage = "LZH : Cannot get memory for dictionary tables";
const char* const kLzhFreeTablesMessage = "LZH : Error freeing memory for dictionary tables";
const char* const kLzhTruncatedMessage = "LZH : Unexpected end of compressed data";

namespace {

// Everything one decoding works on, obtained in one block.
struct DictionaryTables {
  HuffmanModel model;
  uint8_t ring[RingSize];
};

// Bits not yet used, left-aligned in 16 bits. `realBits` counts how many of the
// leading bits came from bytes the source actually delivered; the rest are the
// zero bits that stand in for missing bytes, and using one of those means the
// stream was cut short.
class BitInput {
 public:
  explicit BitInput(ByteSourceProc source) : source_(source) {}

  unsigned ReadBit() {
    Refill();
    Consume(1);
    unsigned bit = bitBuffer_ >> 15;
    bitBuffer_ = static_cast<uint16_t>(bitBuffer_ << 1);
    bitCount_ -= 1;
    return bit;
  }

  unsigned ReadBits8() {
    Refill();
    Consume(8);
    unsigned bits = bitBuffer_ >> 8;
    bitBuffer_ = static_cast<uint16_t>(bitBuffer_ << 8);
    bitCount_ -= 8;
    return bits;
  }

 private:
  void Refill() {
    while (bitCount_ <= 8) {
      uint8_t byte = 0;
      uint16_t actual = 0;
      source_(&byte, 1, actual);
      const bool delivered = actual == 1;
      if (!delivered) byte = 0;
      bitBuffer_ = static_cast<uint16_t>(bitBuffer_ | (byte << (8 - bitCount_)));
      if (delivered && realBits_ == bitCount_) realBits_ += 8;
      bitCount_ += 8;
    }
  }

  void Consume(unsigned n) {
    if (realBits_ < n) throw ElzhException(kLzhTruncatedMessage);
    realBits_ -= n;
  }

  ByteSourceProc source_;
  uint16_t bitBuffer_ = 0;
  unsigned bitCount_ = 0;
  unsigned realBits_ = 0;
};

unsigned DecodePosition(BitInput& in) {
  unsigned b = in.ReadBits8();
  const unsigned high = PosHighTable[b];
  const int n = PosLenTable[b] - 2;
  for (int k = 0; k < n; ++k) b = (b << 1) | in.ReadBit();
  return (high << 6) | (b & 63u);
}

// Holds the tables for one decoding. Release() reports whether the allocator
// took them back; the destructor only covers ways out that skipped it.
class TablesLease {
 public:
  TablesLease() {
    void* block = CurrentBlockAllocator().Allocate(sizeof(DictionaryTables));
    if (!block) throw ElzhException(kLzhNoTablesMessage);
    tables_ = static_cast<DictionaryTables*>(block);
  }
  ~TablesLease() {
    if (tables_) (void)CurrentBlockAllocator().Release(tables_);
  }
  TablesLease(const TablesLease&) = delete;
  TablesLease& operator=(const TablesLease&) = delete;

  DictionaryTables& operator*() const { return *tables_; }

  void Release() {
    DictionaryTables* tables = tables_;
    tables_ = nullptr;
    if (!CurrentBlockAllocator().Release(tables)) throw ElzhException(kLzhFreeTablesMessage);
  }

 private:
  DictionaryTables* tables_ = nullptr;
};

void Decode(DictionaryTables& t, BitInput& in, int32_t declaredSize, ByteSinkProc sink) {
  HuffmanStart(t.model);
  std::memset(t.ring, RingFillByte, InitialRingPos);
  std::memset(t.ring + InitialRingPos, RingUnwrittenByte, RingSize - InitialRingPos);
  unsigned ringPos = InitialRingPos;
  int32_t produced = 0;

  auto emit = [&](uint8_t byte) {
    uint16_t taken = 0;
    sink(&byte, 1, taken);
    t.ring[ringPos] = byte;
    ringPos = (ringPos + 1) & RingMask;
    ++produced;
  };

  while (produced < declaredSize) {
    const int symbol = DecodeSymbol(t.model, [&in] { return in.ReadBit(); });
    if (symbol < 256) {
      emit(static_cast<uint8_t>(symbol));
      continue;
    }
    const unsigned position = DecodePosition(in);
    const unsigned start = (ringPos - position - 1) & RingMask;
    const int length = symbol - MatchSymbolBase;
    // A match never carries the output past the declared size.
    for (int k = 0; k < length && produced < declaredSize; ++k) {
      emit(t.ring[(start + static_cast<unsigned>(k)) & RingMask]);
    }
  }
}

}  // namespace

void LzhUnpack(int32_t declaredSize, ByteSourceProc source, ByteSinkProc sink) {
  BitInput in(source);
  TablesLease lease;
  try {
    DictionaryTables& tables = *lease;
    if (UsesBufferedFastPath(source, sink))
      DecodeBuffered(tables.model, tables.ring, declaredSize);  // the expander's own buffers, directly
    else
      Decode(tables, in, declaredSize, sink);
  } catch (...) {
    lease.Release();  // a failed release takes the place of what is on its way out
    throw;
  }
  lease.Release();
}
