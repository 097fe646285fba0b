#pragma once
// Compresses a whole buffer into a "!HZL" file: the 8-byte head (signature,
// expanded size) and the LZH stream, which the expander turns back into the
// exact input.
//
// Levels run from 1 (fastest) to 9 (smallest):
//   1-2  greedy: the longest match found at every step (1 is the yardstick);
//   3-4  lazy: a match is deferred by a literal when the next one codes cheaper;
//   5-7  optimal: the cheapest path through each block, literals, lengths and
//        positions priced from the adaptive model as the block starts, with
//        deeper searches and a re-priced second pass going up;
//   8-9  two or three of the optimal parses, the default's among them,
//        keeping the smallest result.
// The default is the optimal parse with a full search and one pass: nearly
// all of level 9's gain at several times its speed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

constexpr int kFastestLevel = 1;
constexpr int kBestLevel = 9;
constexpr int kDefaultLevel = 6;

// Called now and then with the input bytes done so far and the total.
using CompressProgress = std::function<void(size_t done, size_t total)>;

// Throws std::length_error for inputs the head's signed 32-bit size cannot
// state, std::invalid_argument for a level outside 1..9.
std::vector<uint8_t> CompressToContainer(const uint8_t* data, size_t size, int level,
                                         const CompressProgress& progress = {});
