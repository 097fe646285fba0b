#pragma once
// The LZH stream decoder: pulls compressed bytes from a source one at a time
// and pushes expanded bytes to a sink one at a time, until the declared size
// is reached. It does not flush the sink; its caller does.
//
// Source use: every request asks for one byte; the byte counts only when the
// source reports exactly 1 (anything else reads as 0). A complete stream makes
// exactly one request beyond its last byte. Sink use: one call per byte, count
// 1, its reported count ignored.
//
// Raises ElzhException when the working tables cannot be obtained or released,
// and "LZH : Unexpected end of compressed data" as soon as decoding would use a
// bit past the last byte the source delivered. The output never runs past the
// declared size; a size of 0 or less decodes nothing and touches neither side.
//
// Handed BufferedRead and BufferedWrite, it runs the buffered loop of
// lzh_fast_decoder.h instead, which works on the two I/O buffers directly and
// leaves exactly what these calls would have left.

#include <cstdint>

#include "byte_stream.h"

void LzhUnpack(int32_t declaredSize, ByteSourceProc source, ByteSinkProc sink);

extern const char* const kLzhNoTablesMessage;
extern const char* const kLzhFreeTablesMessage;
extern const char* const kLzhTruncatedMessage;
