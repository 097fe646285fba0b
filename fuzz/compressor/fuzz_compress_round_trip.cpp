// Compresses the input at a level it chooses and expands the result twice:
// with the product decoder (LzhUnpack) and with the tests' token reader,
// which also checks every match against the rules (no copy from unwritten
// window cells, none past the end, nothing left over, zero padding).
//
// Input: byte 0 picks the level (1..9); byte 1 picks a shape: with bit 0
// set, the rest is repeated, each copy with its first byte bumped, until
// about (byte 1 >> 1) * 700 bytes, which reaches long inputs, model
// rebuilds and distances near the window's size from short fuzz inputs.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hzl_compressor.h"
#include "lzh_decoder.h"
#include "token_reader.h"

namespace {

const std::vector<uint8_t>* g_source = nullptr;
size_t g_sourcePos = 0;
std::vector<uint8_t> g_sink;

void Source(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  size_t n = 0;
  while (n < count && g_sourcePos < g_source->size()) buffer[n++] = (*g_source)[g_sourcePos++];
  actual = static_cast<uint16_t>(n);
}

void Sink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  g_sink.insert(g_sink.end(), buffer, buffer + count);
  actual = count;
}

std::vector<uint8_t> Shape(const uint8_t* data, size_t size) {
  const uint8_t flags = size > 1 ? data[1] : 0;
  const uint8_t* payload = size > 2 ? data + 2 : data;
  const size_t payloadSize = size > 2 ? size - 2 : 0;
  std::vector<uint8_t> input(payload, payload + payloadSize);
  if ((flags & 1) != 0 && payloadSize > 0) {
    const size_t target = static_cast<size_t>(flags >> 1) * 700;
    for (uint8_t bump = 1; input.size() < target; ++bump) {
      input.insert(input.end(), payload, payload + payloadSize);
      input[input.size() - payloadSize] = static_cast<uint8_t>(input[input.size() - payloadSize] + bump);
    }
  }
  return input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int level = size > 0 ? 1 + data[0] % 9 : kDefaultLevel;
  const std::vector<uint8_t> input = Shape(data, size);
  const std::vector<uint8_t> file = CompressToContainer(input.data(), input.size(), level);

  const hzltest::TokenStream tokens = hzltest::ReadTokens(file);
  if (!tokens.faults.empty() || tokens.output != input) std::abort();

  const std::vector<uint8_t> stream(file.begin() + 8, file.end());
  g_source = &stream;
  g_sourcePos = 0;
  g_sink.clear();
  LzhUnpack(static_cast<int32_t>(input.size()), Source, Sink);
  if (g_sink != input) std::abort();
  return 0;
}
