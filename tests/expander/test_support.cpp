#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "lzh_format.h"

namespace hzltest {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "hzl-expander-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

fs::path GoldenDir() { return fs::path(HZL_GOLDEN_DIR); }

Bytes GoldenBytes(const std::string& name) { return ReadFileBytes((GoldenDir() / name).string()); }

Bytes Container(int32_t declaredSize, const Bytes& stream) {
  const auto size = static_cast<uint32_t>(declaredSize);
  Bytes out = {0x21, 0x48, 0x5A, 0x4C};
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(size >> shift));
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes FromHex(const std::string& hex) {
  Bytes out;
  std::string digits;
  for (char c : hex)
    if (c != ' ') digits.push_back(c);
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits: " + hex);
  for (size_t i = 0; i < digits.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

int DecodeFromBits(HuffmanModel& model, const std::string& bits, size_t& used) {
  used = 0;
  bool overran = false;
  const int symbol = DecodeSymbol(model, [&]() -> unsigned {
    if (used >= bits.size()) {
      overran = true;
      return 0;
    }
    return bits[used++] == '1' ? 1u : 0u;
  });
  if (overran) used = bits.size() + 1;  // the walk wanted more bits than given
  return symbol;
}

std::string CodeString(const HuffmanModel& model, int symbol) {
  const SymbolCode code = CodeOf(model, symbol);
  std::string out;
  for (int i = code.length - 1; i >= 0; --i) out.push_back(((code.bits >> i) & 1u) ? '1' : '0');
  return out;
}

// ---------------------------------------------------------------------------

namespace {
FileOpsRecorder* g_files = nullptr;
AllocatorRecorder* g_heap = nullptr;

int64_t PositionOf(FileHandle handle) { return handle > 0 ? lseek(handle, 0, SEEK_CUR) : -1; }
}  // namespace

struct FileOpsRecorderAccess {
  static FileHandle OpenExisting(const std::string& path) {
    const FileHandle h = NativeFileOps().OpenExisting(path);
    g_files->calls_.push_back({FileCall::kOpenExisting, h, -1, 0, h, path});
    return h;
  }
  static FileHandle CreateAlways(const std::string& path) {
    const FileHandle h = NativeFileOps().CreateAlways(path);
    g_files->calls_.push_back({FileCall::kCreateAlways, h, -1, 0, h, path});
    return h;
  }
  static int32_t Read(FileHandle handle, void* buffer, int32_t count) {
    FileOpsRecorder& r = *g_files;
    const int64_t offset = PositionOf(handle);
    int32_t result;
    if (++r.reads_ == r.faults_.failReadAt) {
      result = r.faults_.failedRead;
    } else {
      result = NativeFileOps().Read(handle, buffer, count);
    }
    r.calls_.push_back({FileCall::kRead, handle, offset, count, result, {}});
    return result;
  }
  static int32_t Write(FileHandle handle, const void* buffer, int32_t count) {
    FileOpsRecorder& r = *g_files;
    const int64_t offset = PositionOf(handle);
    int32_t result;
    if (++r.writes_ == r.faults_.failWriteAt) {
      if (r.faults_.writeShortBy > 0) {
        const int32_t moved = std::max(0, count - r.faults_.writeShortBy);
        result = NativeFileOps().Write(handle, buffer, moved);
      } else {
        result = -1;
      }
    } else {
      result = NativeFileOps().Write(handle, buffer, count);
    }
    r.calls_.push_back({FileCall::kWrite, handle, offset, count, result, {}});
    return result;
  }
  static void Flush(FileHandle handle) {
    g_files->calls_.push_back({FileCall::kFlush, handle, -1, 0, 0, {}});
    NativeFileOps().Flush(handle);
  }
  static void Close(FileHandle handle) {
    g_files->calls_.push_back({FileCall::kClose, handle, -1, 0, 0, {}});
    NativeFileOps().Close(handle);
  }
  static void Delete(const std::string& path) {
    g_files->calls_.push_back({FileCall::kDelete, 0, -1, 0, 0, path});
    // Tests may run with the rights to remove device nodes; a test that
    // writes to /dev/full must not take it away.
    if (path.rfind("/dev/", 0) == 0) return;
    NativeFileOps().Delete(path);
  }
};

namespace {
const FileOps kRecordingOps = {
    FileOpsRecorderAccess::OpenExisting, FileOpsRecorderAccess::CreateAlways, FileOpsRecorderAccess::Read,
    FileOpsRecorderAccess::Write,        FileOpsRecorderAccess::Flush,        FileOpsRecorderAccess::Close,
    FileOpsRecorderAccess::Delete,
};
}  // namespace

FileOpsRecorder::FileOpsRecorder(FileFaults faults) : faults_(faults) {
  g_files = this;
  SetFileOpsForTesting(&kRecordingOps);
}

FileOpsRecorder::~FileOpsRecorder() {
  SetFileOpsForTesting(nullptr);
  g_files = nullptr;
}

std::vector<FileCall> FileOpsRecorder::CallsOf(FileCall::Kind kind) const {
  std::vector<FileCall> out;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
               [kind](const FileCall& c) { return c.kind == kind; });
  return out;
}

bool FileOpsRecorder::EveryHandleClosedOnce(std::string& why) const {
  std::map<FileHandle, int> open;  // handle -> times closed since it was opened
  for (const FileCall& c : calls_) {
    if ((c.kind == FileCall::kOpenExisting || c.kind == FileCall::kCreateAlways) && c.result > 0) {
      open[c.result] = 0;
    } else if (c.kind == FileCall::kClose) {
      auto it = open.find(c.handle);
      if (it == open.end()) {
        why = "close of handle " + std::to_string(c.handle) + " that is not open";
        return false;
      }
      open.erase(it);
    }
  }
  if (!open.empty()) {
    why = "handle " + std::to_string(open.begin()->first) + " left open";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

struct AllocatorRecorderAccess {
  static void* Allocate(std::size_t size) {
    AllocatorRecorder& r = *g_heap;
    if (++r.allocateCalls_ == r.faults_.failAllocateAt) return nullptr;
    void* block = std::malloc(size);
    if (!block) return nullptr;
    std::memset(block, r.faults_.fill, size);
    r.live_.push_back(block);
    r.sizes_.push_back(size);
    ++r.allocations_;
    return block;
  }
  static bool Release(void* block) {
    AllocatorRecorder& r = *g_heap;
    ++r.releaseCalls_;
    auto it = std::find(r.live_.begin(), r.live_.end(), block);
    if (it == r.live_.end()) return false;  // not ours, or released twice
    r.live_.erase(it);
    std::free(block);
    ++r.releases_;
    return r.releaseCalls_ != r.faults_.failReleaseAt;
  }
};

namespace {
const BlockAllocator kRecordingAllocator = {AllocatorRecorderAccess::Allocate, AllocatorRecorderAccess::Release};
}  // namespace

AllocatorRecorder::AllocatorRecorder(AllocatorFaults faults) : faults_(faults) {
  g_heap = this;
  SetBlockAllocatorForTesting(&kRecordingAllocator);
}

AllocatorRecorder::~AllocatorRecorder() {
  SetBlockAllocatorForTesting(nullptr);
  for (void* block : live_) std::free(block);
  g_heap = nullptr;
}

// ---------------------------------------------------------------------------

StreamWriter::StreamWriter() { HuffmanStart(model_); }

void StreamWriter::Bits(uint32_t bits, int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if ((bits >> i) & 1u) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80u >> (bitCount_ % 8)));
    ++bitCount_;
  }
}

void StreamWriter::Symbol(int symbol) {
  const SymbolCode code = CodeOf(model_, symbol);
  Bits(code.bits, code.length);
  HuffmanUpdate(model_, symbol);
}

void StreamWriter::Literal(uint8_t byte) { Symbol(byte); }

void StreamWriter::Match(int length, int position) {
  if (length < MinMatch || length > MaxMatch || position < 0 || position >= RingSize)
    throw std::invalid_argument("match out of range");
  Symbol(length + MatchSymbolBase);
  const int high = position >> 6;
  Bits(kPositionTables.codeOf[static_cast<size_t>(high)], kPositionTables.lengthOf[static_cast<size_t>(high)]);
  Bits(static_cast<uint32_t>(position & 63), 6);
}

Bytes StreamWriter::Finish() const { return bytes_; }

}  // namespace hzltest
