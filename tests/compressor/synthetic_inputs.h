#pragma once
// Inputs made up on the spot, the same bytes on every machine and every run:
// an executable-like binary (headers, code, string tables, pointer tables,
// zero padding, resources) and prose-like text, the two kinds of file an
// installation set is made of, plus plain noise. Used by the round-trip tests
// and the compression benchmark; nothing here is stored in the repository.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hzltest {

// A small deterministic generator (splitmix64), so the bytes do not depend on
// the standard library's distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  uint32_t Below(uint32_t bound);  // 0..bound-1, bound > 0
  uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }

 private:
  uint64_t state_;
};

std::vector<uint8_t> MakeExecutableLike(size_t size, uint64_t seed);
std::vector<uint8_t> MakeText(size_t size, uint64_t seed);
std::vector<uint8_t> MakeNoise(size_t size, uint64_t seed);

}  // namespace hzltest
