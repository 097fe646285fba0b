// ExpandFile over arbitrary files. Each input is written to a scratch file
// and expanded into another.
//
// Checked on every input: the result is 1 or -1; on -1 no output file is
// left; on 1 the output holds exactly max(declared size, 0) bytes, and they
// are what the decoder makes of the bytes after the head when fed from
// memory; on -1 with a good head, decoding from memory fails too. The input
// file is never changed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "file_expander.h"
#include "file_io.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"

namespace {

namespace fs = std::filesystem;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

fs::path g_dir;

void RemoveScratch() {
  std::error_code ignored;
  fs::remove_all(g_dir, ignored);
}

const fs::path& ScratchDir() {
  if (g_dir.empty()) {
    std::string pattern = (fs::temp_directory_path() / "hzl-fuzz-expand-XXXXXX").string();
    Check(mkdtemp(pattern.data()) != nullptr);
    g_dir = pattern;
    std::atexit(RemoveScratch);
  }
  return g_dir;
}

// Plain reads and byte stores: this file is instrumented too, and library
// helpers called per byte would cost more than the code under test.
std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  Check(f != nullptr);
  std::vector<uint8_t> bytes(static_cast<size_t>(fs::file_size(path)));
  Check(std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
  return bytes;
}

const uint8_t* g_stream = nullptr;
size_t g_streamSize = 0;
size_t g_next = 0;
std::vector<uint8_t> g_decoded;
size_t g_decodedSize = 0;

void MemorySource(uint8_t* buffer, uint16_t, uint16_t& actual) {
  actual = 0;
  if (g_next < g_streamSize) {
    buffer[0] = g_stream[g_next++];
    actual = 1;
  }
}

void MemorySink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  Check(count == 1);
  if (g_decodedSize == g_decoded.size()) g_decoded.resize(2 * g_decoded.size() + 65536);
  g_decoded.data()[g_decodedSize++] = buffer[0];
  actual = count;
}

// The native operations, except that flushing to the disk is skipped: it
// changes nothing the expander can see and would cost most of each run.
void NoFlush(FileHandle) {}
FileOps MakeOps() {
  FileOps ops = NativeFileOps();
  ops.Flush = NoFlush;
  return ops;
}
const FileOps kOps = MakeOps();

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetFileOpsForTesting(&kOps);
  const fs::path input = ScratchDir() / "in.hzl";
  const fs::path output = ScratchDir() / "out.bin";
  {
    std::FILE* f = std::fopen(input.c_str(), "wb");
    Check(f != nullptr);
    Check(std::fwrite(data, 1, size, f) == size);
    Check(std::fclose(f) == 0);
  }
  std::error_code ignored;
  fs::remove(output, ignored);

  ExpanderInputName = input.string();
  ExpanderOutputName = output.string();
  const int32_t result = ExpandFile();
  Check(result == 1 || result == -1);

  const std::vector<uint8_t> after = ReadAll(input);
  Check(after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0));

  const bool goodHead = size >= 8 && data[0] == 0x21 && data[1] == 0x48 && data[2] == 0x5A && data[3] == 0x4C;
  if (!goodHead) {
    Check(result == -1);
  }
  if (result == -1) {
    Check(!fs::exists(output));
    if (!goodHead) return 0;
  }

  const int32_t declared = static_cast<int32_t>(uint32_t{data[4]} | uint32_t{data[5]} << 8 |
                                                uint32_t{data[6]} << 16 | uint32_t{data[7]} << 24);
  g_stream = data + 8;
  g_streamSize = size - 8;
  g_next = 0;
  g_decodedSize = 0;
  bool decoded = true;
  try {
    LzhUnpack(declared, MemorySource, MemorySink);
  } catch (const ElzhException&) {
    decoded = false;
  }
  Check(decoded == (result == 1));
  if (result == 1) {
    const std::vector<uint8_t> written = ReadAll(output);
    Check(written.size() == static_cast<size_t>(declared > 0 ? declared : 0));
    Check(g_decodedSize == written.size());
    Check(written.empty() || std::memcmp(written.data(), g_decoded.data(), written.size()) == 0);
  }
  return 0;
}
