#pragma once
// The decoding loop the file expander runs when LzhUnpack is handed its own
// BufferedRead and BufferedWrite. It works on ExpanderInputBuffer and
// ExpanderOutputBuffer directly instead of calling the two callbacks per
// byte, and takes the stream's bits 64 at a time; the reference loop in
// lzh_decoder.cpp stays what any other source and sink get.
//
// It is the reference loop with BufferedRead/BufferedWrite in every respect
// that can be seen from outside: the bytes written, the file reads and writes
// and their order, where an exception is raised and with which message, and
// the buffer positions ReadCursor, ReadFill and WriteCursor afterwards.

#include <cstdint>

#include "byte_stream.h"
#include "huffman_model.h"

// Whether LzhUnpack hands a decoding with this source and sink to
// DecodeBuffered: the expander's own callbacks, and the loop not switched off.
bool UsesBufferedFastPath(ByteSourceProc source, ByteSinkProc sink);

// The symbol loop over the two I/O buffers (model start, window fill, loop).
// `ring` has RingSize bytes. It goes on from whatever ReadCursor, ReadFill and
// WriteCursor say, as BufferedRead and BufferedWrite would.
void DecodeBuffered(HuffmanModel& model, uint8_t* ring, int32_t declaredSize);

// Switches the buffered loop off (false) so ExpandFile runs the reference
// loop on the same input; for tests and the benchmark. On by default.
void SetBufferedFastPathEnabled(bool enabled);
