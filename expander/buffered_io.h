#pragma once
// The file expander's byte source and sink: the decoder asks for one byte and
// gives one byte per call; these turn that into one file read per 32768
// compressed bytes and one file write per 32768 expanded bytes.
//
// Positions are 1-based (position p is byte p - 1 of its buffer) and live in
// process-wide variables that ExpandBody resets before every decoding.

#include <cstdint>

#include "byte_stream.h"

// Bytes moved per file read or write; each buffer has 16 spare bytes beyond.
constexpr int32_t IoBlockSize = 32768;
constexpr int32_t IoBufferSize = IoBlockSize + 16;

extern uint16_t ReadCursor;  // next byte to deliver
extern int32_t ReadFill;     // valid bytes in the input buffer, at positions 1..ReadFill
extern uint16_t WriteCursor; // next free position in the output buffer

// ByteSourceProc over ExpanderInputHandle / ExpanderInputBuffer. Raises
// ELzrw1Exception "Lzrw1/LZH : READ ERROR ON <input> !" when a read fails;
// the end of the file is no failure, just a short or zero actual count.
void BufferedRead(uint8_t* buffer, uint16_t count, uint16_t& actual);

// ByteSinkProc over ExpanderOutputHandle / ExpanderOutputBuffer; count 0 is
// the final flush, which leaves WriteCursor and actual alone.
void BufferedWrite(uint8_t* buffer, uint16_t count, uint16_t& actual);

// Raises "Lzrw1 : ERROR WRITING TO <output> !" unless the write moved
// everything it was given.
void CheckWriteCount(int32_t actual, int32_t expected);
