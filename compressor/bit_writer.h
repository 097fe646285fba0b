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
    for (int i = count - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>((acc_ << 1) | ((bits >> i) & 1u));
      if (++fill_ == 8) {
        out_.push_back(acc_);
        acc_ = 0;
        fill_ = 0;
      }
    }
  }

  // Pads the final partial byte with zero bits.
  void Finish() {
    if (fill_ > 0) out_.push_back(static_cast<uint8_t>(acc_ << (8 - fill_)));
    acc_ = 0;
    fill_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int fill_ = 0;
};
