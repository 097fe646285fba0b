#pragma once
// Shared helpers for the expander tests: scratch folders and files, the
// reference streams, a recording and fault-injecting file layer, a counting
// and fault-injecting block allocator, and a small stream writer that runs
// the model in lock step to build streams bit by bit.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "file_io.h"
#include "huffman_model.h"
#include "working_memory.h"

namespace hzltest {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);

// The folder of reference streams, and one file from it.
std::filesystem::path GoldenDir();
Bytes GoldenBytes(const std::string& name);

// "!HZL", the declared size little-endian, then the stream.
Bytes Container(int32_t declaredSize, const Bytes& stream);
Bytes Concat(Bytes a, const Bytes& b);
Bytes FromHex(const std::string& hex);  // "F6 FB 40": spaces allowed

// Decodes one symbol from a string of '0'/'1' characters; `used` receives
// how many of them the walk consumed.
int DecodeFromBits(HuffmanModel& model, const std::string& bits, size_t& used);
std::string CodeString(const HuffmanModel& model, int symbol);

// ---------------------------------------------------------------------------
// File layer recorder. Installs itself over the native operations for its
// lifetime, logs every call and can make one chosen call fail.

struct FileCall {
  enum Kind { kOpenExisting, kCreateAlways, kRead, kWrite, kFlush, kClose, kDelete };
  Kind kind;
  FileHandle handle = 0;  // the handle used, or the one returned by an open
  int64_t offset = -1;    // file position before a read or write
  int32_t count = 0;      // bytes asked for
  int32_t result = 0;     // what the operation reported
  std::string path;
};

struct FileFaults {
  int failReadAt = 0;       // 1-based number of the Read call to fail; 0: none
  int32_t failedRead = -1;  // what that call reports instead
  int failWriteAt = 0;      // 1-based number of the Write call to fail; 0: none
  int32_t writeShortBy = -1;  // >0: the write moves that many bytes fewer; -1: reports -1
};

class FileOpsRecorder {
 public:
  explicit FileOpsRecorder(FileFaults faults = {});
  ~FileOpsRecorder();
  FileOpsRecorder(const FileOpsRecorder&) = delete;
  FileOpsRecorder& operator=(const FileOpsRecorder&) = delete;

  const std::vector<FileCall>& Calls() const { return calls_; }
  std::vector<FileCall> CallsOf(FileCall::Kind kind) const;
  // Every handle an open returned above 0 was closed exactly once.
  bool EveryHandleClosedOnce(std::string& why) const;

 private:
  friend struct FileOpsRecorderAccess;
  FileFaults faults_;
  std::vector<FileCall> calls_;
  int reads_ = 0;
  int writes_ = 0;
};

// ---------------------------------------------------------------------------
// Block allocator recorder: counts blocks, fills each new block with a byte
// of its choice (so a reader of unset memory sees something definite), and
// can fail one chosen allocation or release. A "failed" release still frees
// the block so nothing leaks.

struct AllocatorFaults {
  int failAllocateAt = 0;  // 1-based number of the Allocate call to fail; 0: none
  int failReleaseAt = 0;   // 1-based number of the Release call to report failure
  uint8_t fill = 0xA5;
};

class AllocatorRecorder {
 public:
  explicit AllocatorRecorder(AllocatorFaults faults = {});
  ~AllocatorRecorder();
  AllocatorRecorder(const AllocatorRecorder&) = delete;
  AllocatorRecorder& operator=(const AllocatorRecorder&) = delete;

  int Allocations() const { return allocations_; }  // successful ones
  int Releases() const { return releases_; }
  int Live() const { return static_cast<int>(live_.size()); }
  const std::vector<std::size_t>& Sizes() const { return sizes_; }

 private:
  friend struct AllocatorRecorderAccess;
  AllocatorFaults faults_;
  int allocateCalls_ = 0;
  int releaseCalls_ = 0;
  int allocations_ = 0;
  int releases_ = 0;
  std::vector<void*> live_;
  std::vector<std::size_t> sizes_;
};

// ---------------------------------------------------------------------------
// Writes a stream the way a compressor would: each symbol's current code from
// its own copy of the model, which it then updates; matches add the position
// code. Finish() pads the last byte with zero bits.

class StreamWriter {
 public:
  StreamWriter();
  void Literal(uint8_t byte);
  void Match(int length, int position);
  void Bits(uint32_t bits, int count);
  Bytes Finish() const;
  size_t BitCount() const { return bitCount_; }

 private:
  void Symbol(int symbol);
  HuffmanModel model_;
  Bytes bytes_;
  size_t bitCount_ = 0;
};

}  // namespace hzltest

// Lets GoogleTest print a row of a case table by its name, so test listings
// stay short and the same from build to build (it would dump the raw bytes).
#define HZL_PRINT_CASE_AS(Case, field) \
  [[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) { *os << c.field; }
