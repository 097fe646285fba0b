#pragma once
// Writes the LZH symbol stream: literals and matches coded with the adaptive
// model, run in lock step with the decoder's, and match positions with the
// fixed position code.
//
// The encoder keeps count of the bytes its symbols stand for, and refuses
// (std::logic_error) a match the decoder could not copy faithfully: a length
// outside MinMatch..MaxMatch, or a distance reaching past the window or into
// the cells above the initial spaces that nothing has written yet. A parser
// bug therefore ends in an exception rather than in a file that expands wrong.

#include <cstdint>
#include <vector>

#include "bit_writer.h"
#include "huffman_model.h"

class LzhEncoder {
 public:
  explicit LzhEncoder(std::vector<uint8_t>& out);

  void Literal(uint8_t byte);
  // `distance` is 1..RingSize back from the next output byte; length MinMatch..MaxMatch.
  void Match(int length, int distance);
  void Finish() { bits_.Finish(); }

  // The model as the next symbol will see it, for parsers that price choices.
  const HuffmanModel& Model() const { return model_; }
  // Bytes the symbols written so far expand to.
  int64_t Produced() const { return produced_; }

 private:
  void PutSymbol(int symbol);

  BitWriter bits_;
  HuffmanModel model_;
  int64_t produced_ = 0;
};
