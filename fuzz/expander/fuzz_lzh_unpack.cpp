// LzhUnpack over arbitrary streams. The first 4 bytes choose the declared
// size (little-endian; non-negative values are kept below 1 MiB), the rest is
// the stream, served one byte per request.
//
// Checked on every input: the decoder asks for one byte at a time and never
// more than two past the data (one past it when it finishes), sends one byte
// per sink call, never more than declared, and exactly the declared size when
// it finishes; it raises nothing but ElzhException; and its output does not
// depend on what the allocator left in the tables it hands out.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "working_memory.h"

namespace {

constexpr int32_t kMaxDeclared = 1 << 20;

const uint8_t* g_data = nullptr;
size_t g_size = 0;
size_t g_next = 0;
size_t g_requests = 0;
int32_t g_declared = 0;
// Output goes into a plain array: this file is instrumented too, and a
// library call per byte would cost more than the decoder.
uint8_t g_out[kMaxDeclared];
int32_t g_outSize = 0;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void Source(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  Check(count == 1);
  ++g_requests;
  if (g_next < g_size) {
    buffer[0] = g_data[g_next++];
    actual = 1;
  } else {
    actual = 0;
  }
}

void Sink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  Check(count == 1);
  Check(g_outSize < g_declared);
  g_out[g_outSize++] = buffer[0];
  actual = count;
}

uint8_t g_fill = 0;
void* FilledAllocate(std::size_t size) {
  void* block = std::malloc(size);
  if (block) std::memset(block, g_fill, size);
  return block;
}
bool FreeRelease(void* block) {
  std::free(block);
  return true;
}
const BlockAllocator kFilledHeap = {FilledAllocate, FreeRelease};

// Returns whether the decoding finished; the output is in g_out.
bool Run(uint8_t fill) {
  g_fill = fill;
  g_next = 0;
  g_requests = 0;
  g_outSize = 0;
  SetBlockAllocatorForTesting(&kFilledHeap);
  bool finished = true;
  try {
    LzhUnpack(g_declared, Source, Sink);
  } catch (const ElzhException&) {
    finished = false;
  }
  SetBlockAllocatorForTesting(nullptr);

  if (g_declared <= 0) {
    Check(finished && g_requests == 0 && g_outSize == 0);
  } else if (finished) {
    Check(g_outSize == g_declared);
    Check(g_requests <= g_size + 1);
  } else {
    Check(g_outSize < g_declared);
    Check(g_requests <= g_size + 2);
    Check(g_next == g_size);  // it gives up only once the data has run out
  }
  return finished;
}

std::vector<uint8_t> g_first;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t raw = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
  int32_t declared = static_cast<int32_t>(raw);
  if (declared > 0) declared %= kMaxDeclared;
  g_declared = declared;
  g_data = data + 4;
  g_size = size - 4;

  const bool firstFinished = Run(0x00);
  const int32_t firstSize = g_outSize;
  g_first.resize(static_cast<size_t>(firstSize));
  if (firstSize > 0) std::memcpy(g_first.data(), g_out, static_cast<size_t>(firstSize));
  const bool secondFinished = Run(0xFF);
  Check(firstFinished == secondFinished);
  Check(firstSize == g_outSize);
  Check(firstSize == 0 || std::memcmp(g_first.data(), g_out, static_cast<size_t>(firstSize)) == 0);
  return 0;
}
