#pragma once
// Deterministic stand-ins for what the expander meets in practice: a program
// image and a text file, both generated from a fixed seed so every run of the
// benchmark sees the same bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hzlbench {

// A 32-bit Windows program image look-alike: headers, a code section of
// instruction-like byte sequences with int3 padding, tables of addresses,
// ASCII and UTF-16 strings, zero-filled section padding and some resource
// data. About `size` bytes.
std::vector<uint8_t> MakeProgramImage(size_t size);

// Prose in made-up German- and English-like words with a skewed word
// frequency, punctuation and CRLF line ends. About `size` bytes.
std::vector<uint8_t> MakeText(size_t size);

}  // namespace hzlbench
