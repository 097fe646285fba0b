#pragma once
// Reads a "!HZL" file back as the symbols it is made of, with a decoder of
// its own, and checks every match against the rules the expander relies on.

#include <cstdint>
#include <string>
#include <vector>

namespace hzltest {

struct StreamToken {
  int64_t at;        // output offset of the token's first byte
  int length;        // 1 for a literal
  int distance;      // 0 for a literal, else 1..4096
  int codeBits;      // bits of the literal or length symbol's code
};

struct TokenStream {
  int32_t declaredSize = 0;
  std::vector<StreamToken> tokens;
  std::vector<uint8_t> output;       // what the tokens expand to
  std::vector<std::string> faults;   // broken rules, one line each; empty when sound
  size_t streamBytes = 0;            // bytes after the head
  size_t bitsUsed = 0;               // bits the symbols took
  bool paddingZero = true;           // the unused bits of the last byte are 0
};

// Decodes `file` (head included) until the declared size is reached. A fault
// is recorded for: a bad head; a match reaching past the written window
// (window cells the initial spaces do not cover and nothing has written
// yet) or running past the declared size; a stream that runs out of bits
// before the end; bytes left over after the last symbol's byte; nonzero
// padding bits.
TokenStream ReadTokens(const std::vector<uint8_t>& file);

}  // namespace hzltest
