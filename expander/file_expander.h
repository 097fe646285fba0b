#pragma once
// The "!HZL" container and the expansion of one file into another.
//
// Container: the bytes "!HZL" (read as little-endian 0x4C5A4821), then the
// expanded size as a signed little-endian 32-bit value (0 or negative: an
// empty file), then the LZH stream. No trailer, no checksum.
//
// All state is process-wide, as the callbacks of the decoder have no context:
// set the two names, then call ExpandFile. Not re-entrant, one thread.

#include <cstdint>
#include <string>

#include "file_io.h"

constexpr uint32_t LzhSignature = 0x4C5A4821;  // "!HZL"
constexpr int ContainerHeadSize = 8;

extern std::string ExpanderInputName;   // path of the compressed file
extern std::string ExpanderOutputName;  // path of the expanded file
extern uint8_t* ExpanderInputBuffer;    // IoBufferSize bytes while an expansion runs
extern uint8_t* ExpanderOutputBuffer;
extern FileHandle ExpanderInputHandle;  // 0 before opening, > 0 open, -1 failed
extern FileHandle ExpanderOutputHandle;

// Expands ExpanderInputName into ExpanderOutputName. 1 when the output has
// been written completely, flushed and closed; -1 after any failure, with an
// unfinished output deleted. Nothing ever leaves it.
int32_t ExpandFile();

// The same expansion, but a failure raises its exception (ELzrw1Exception,
// ElzhException or whatever the file layer threw) after the same clean-up.
// Returns 1.
int32_t ExpandCompressedFile();

// Reads the declared size and decodes the stream through the buffered source
// and sink, then flushes the sink. Runs inside ExpandCompressedFile.
void ExpandBody();

// Raises "Lzrw1 : ERROR READING FROM <input> !" unless a head read gave the
// expected number of bytes.
void CheckReadCount(int32_t actual, int32_t expected);
