#pragma once
// Compresses a whole buffer into a "!HZL" file: the 8-byte head (signature,
// expanded size) and the LZH stream, which the expander turns back into the
// exact input.
//
// Levels run from 1 (fast, greedy) to 9 (slowest, smallest).

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
