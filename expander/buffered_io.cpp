#include "buffered_io.h"

#include <cstring>

#include "file_expander.h"
#include "file_io.h"
#include "lzh_exceptions.h"

uint16_t ReadCursor = 1;
int32_t ReadFill = 0;
uint16_t WriteCursor = 1;

void BufferedRead(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  int32_t unread = ReadFill - ReadCursor + 1;
  if (unread < 0) unread = 0;
  if (unread == 0 || count > unread) {
    uint8_t* base = ExpanderInputBuffer;
    if (unread > 0) std::memmove(base, base + ReadCursor - 1, static_cast<size_t>(unread));
    const int32_t got = CurrentFileOps().Read(ExpanderInputHandle, base + unread, IoBlockSize - unread);
    if (got < 0) throw ELzrw1Exception("Lzrw1/LZH : READ ERROR ON " + ExpanderInputName + " !");
    ReadFill = unread + got;
    if (ReadFill == 0) {
      actual = 0;
      return;
    }
    ReadCursor = 1;
    unread = ReadFill;
  }
  const int32_t n = count < unread ? count : unread;
  std::memcpy(buffer, ExpanderInputBuffer + ReadCursor - 1, static_cast<size_t>(n));
  ReadCursor = static_cast<uint16_t>(ReadCursor + n);
  actual = static_cast<uint16_t>(n);
}

namespace {
void WriteHeldBytes() {
  const int32_t held = WriteCursor - 1;
  CheckWriteCount(CurrentFileOps().Write(ExpanderOutputHandle, ExpanderOutputBuffer, held), held);
}
}  // namespace

void BufferedWrite(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  if (count == 0) {
    WriteHeldBytes();
    return;
  }
  if (WriteCursor > IoBlockSize || int32_t{WriteCursor} + count > IoBlockSize + 1) {
    WriteHeldBytes();
    WriteCursor = 1;
  }
  std::memcpy(ExpanderOutputBuffer + WriteCursor - 1, buffer, count);
  WriteCursor = static_cast<uint16_t>(WriteCursor + count);
  actual = count;
}

void CheckWriteCount(int32_t actual, int32_t expected) {
  if (actual != expected) throw ELzrw1Exception("Lzrw1 : ERROR WRITING TO " + ExpanderOutputName + " !");
}
