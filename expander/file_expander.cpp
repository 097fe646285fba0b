#include "file_expander.h"

#include "buffered_io.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"
#include "working_memory.h"

std::string ExpanderInputName;
std::string ExpanderOutputName;
uint8_t* ExpanderInputBuffer = nullptr;
uint8_t* ExpanderOutputBuffer = nullptr;
FileHandle ExpanderInputHandle = 0;
FileHandle ExpanderOutputHandle = 0;

namespace {

// The two I/O buffers of one expansion, released input first.
class IoBuffers {
 public:
  IoBuffers() {
    const BlockAllocator& heap = CurrentBlockAllocator();
    ExpanderInputBuffer = static_cast<uint8_t*>(heap.Allocate(IoBufferSize));
    ExpanderOutputBuffer = ExpanderInputBuffer ? static_cast<uint8_t*>(heap.Allocate(IoBufferSize)) : nullptr;
    if (!ExpanderOutputBuffer) {
      Release();
      throw ELzrw1Exception("Lzrw1 : no memory for I/O Buffers !!");
    }
  }
  ~IoBuffers() { Release(); }
  IoBuffers(const IoBuffers&) = delete;
  IoBuffers& operator=(const IoBuffers&) = delete;

 private:
  static void Release() {
    const BlockAllocator& heap = CurrentBlockAllocator();
    if (ExpanderInputBuffer) (void)heap.Release(ExpanderInputBuffer);
    if (ExpanderOutputBuffer) (void)heap.Release(ExpanderOutputBuffer);
    ExpanderInputBuffer = ExpanderOutputBuffer = nullptr;
  }
};

// Flushes and closes whichever files are open, input first, on every way out.
class OpenFiles {
 public:
  OpenFiles() { ExpanderInputHandle = ExpanderOutputHandle = 0; }
  ~OpenFiles() {
    const FileOps& files = CurrentFileOps();
    for (FileHandle* handle : {&ExpanderInputHandle, &ExpanderOutputHandle}) {
      if (*handle > 0) {
        files.Flush(*handle);
        files.Close(*handle);
      }
    }
  }
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;
};

// Deletes the output unless the expansion got through: an unfinished file is
// never left behind under the output's name.
class PartialOutputGuard {
 public:
  ~PartialOutputGuard() {
    if (committed_) return;
    const FileOps& files = CurrentFileOps();
    files.Close(ExpanderOutputHandle);  // no flush: the contents are being thrown away
    ExpanderOutputHandle = 0;
    files.Delete(ExpanderOutputName);
  }
  void Commit() { committed_ = true; }

 private:
  bool committed_ = false;
};

int32_t ReadHeadField(FileHandle handle) {
  uint8_t bytes[4] = {};
  CheckReadCount(CurrentFileOps().Read(handle, bytes, 4), 4);
  return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                              uint32_t{bytes[3]} << 24);
}

}  // namespace

void CheckReadCount(int32_t actual, int32_t expected) {
  if (actual != expected) throw ELzrw1Exception("Lzrw1 : ERROR READING FROM " + ExpanderInputName + " !");
}

void ExpandBody() {
  const int32_t declaredSize = ReadHeadField(ExpanderInputHandle);
  ReadCursor = 1;
  ReadFill = 0;
  WriteCursor = 1;
  LzhUnpack(declaredSize, BufferedRead, BufferedWrite);
  uint16_t unused = 0;
  BufferedWrite(ExpanderOutputBuffer, 0, unused);
}

int32_t ExpandCompressedFile() {
  IoBuffers buffers;
  OpenFiles files;
  const FileOps& ops = CurrentFileOps();

  ExpanderInputHandle = ops.OpenExisting(ExpanderInputName);
  if (ExpanderInputHandle < 0)
    throw ELzrw1Exception("Lzrw1 : Inputfile " + ExpanderInputName + " not found !");
  ExpanderOutputHandle = ops.CreateAlways(ExpanderOutputName);
  if (ExpanderOutputHandle < 0)
    throw ELzrw1Exception("Lzrw1 : Outputfile " + ExpanderOutputName + " can not be opened !");

  PartialOutputGuard guard;
  if (static_cast<uint32_t>(ReadHeadField(ExpanderInputHandle)) != LzhSignature)
    throw ELzrw1Exception("Lzrw1 : " + ExpanderInputName + " : NOT A COMPRESSED FILE !");
  ExpandBody();
  guard.Commit();
  return 1;
}

int32_t ExpandFile() {
  try {
    return ExpandCompressedFile();
  } catch (...) {
    return -1;
  }
}
