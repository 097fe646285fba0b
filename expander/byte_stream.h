#pragma once
// The one callback shape between the LZH decoder and whoever feeds or drains
// it. There is no context argument: a callback works on process-wide state.
//
// Source: fill `buffer` with up to `count` bytes and set `actual` to the number
// delivered; fewer only at the end of the data, 0 when none is left.
// Sink: take `count` bytes from `buffer` and set `actual` to the number taken;
// a count of 0 asks for the final flush.

#include <cstdint>

using ByteSourceProc = void (*)(uint8_t* buffer, uint16_t count, uint16_t& actual);
using ByteSinkProc = void (*)(uint8_t* buffer, uint16_t count, uint16_t& actual);
