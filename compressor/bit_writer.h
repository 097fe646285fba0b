#pragma once
// Collects a bit stream most significant bit first, the order the decoder
// reads it in. The last byte is padded with zero bits.

#include <cstdint>
#include <vector>

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low `count` bits of `bits` (count <= 32), highest first.
  void Put(uint32_t bits, int count) {
    if (count <= 0) return;
    const uint64_t value = count == 32 ? bits : bits & ((uint32_t{1} << count) - 1u);
    // fill_ < 8 on entry, so fill_ + count <= 39 bits fit the accumulator.
    acc_ = (acc_ << count) | value;
    fill_ += count;
    while (fill_ >= 8) {
      fill_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> fill_));
    }
    acc_ &= (uint64_t{1} << fill_) - 1u;
  }

  // Pads the final partial byte with zero bits.
  void Finish() {
    if (fill_ > 0) out_.push_back(static_cast<uint8_t>(acc_ << (8 - fill_)));
    acc_ = 0;
    fill_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  int fill_ = 0;
};
