// Expansion throughput in MB/s of expanded output (1 MB = 10^6 bytes):
//
//   ExpandFile         the file expander as the bootstrap runs it (buffered loop)
//   ExpandFile, ref    the same with the buffered loop switched off: the
//                      reference decoder behind BufferedRead/BufferedWrite
//   LzhUnpack, mem     the reference decoder with plain callbacks over memory
//   gzip -dc           gzip -dc of a gzip -9 file of the same data, to a file
//
// Every figure is the best of --repeats runs; the runs of the four are
// interleaved so a burst of load elsewhere hits them alike. ExpandFile's
// flush of each file to the disk is left out (the file layer's Flush is
// replaced by one that does nothing): it measures the disk, not the
// expansion, and gzip -dc does not sync either.
//
// Usage: expansion_bench [--mb N] [--repeats N] [--level 1..9]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_expander.h"
#include "file_io.h"
#include "hzl_compressor.h"
#include "lzh_decoder.h"
#include "lzh_fast_decoder.h"
#include "sample_data.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  size_t megabytes = 8;
  int repeats = 7;
  int level = kDefaultLevel;
};

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Plain memory callbacks for the reference decoder. Callbacks have no
// context, so the memory is process-wide here too.
const uint8_t* g_in = nullptr;
size_t g_inSize = 0;
size_t g_inPos = 0;
uint8_t* g_out = nullptr;
size_t g_outCapacity = 0;
size_t g_outPos = 0;

void MemorySource(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  size_t n = std::min<size_t>(count, g_inSize - g_inPos);
  std::memcpy(buffer, g_in + g_inPos, n);
  g_inPos += n;
  actual = static_cast<uint16_t>(n);
}

void MemorySink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  size_t n = std::min<size_t>(count, g_outCapacity - g_outPos);
  std::memcpy(g_out + g_outPos, buffer, n);
  g_outPos += n;
  actual = static_cast<uint16_t>(n);
}

void NoFlush(FileHandle) {}
FileOps WithoutFlush() {
  FileOps ops = NativeFileOps();
  ops.Flush = NoFlush;
  return ops;
}
const FileOps kBenchFileOps = WithoutFlush();

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

struct Sample {
  const char* name;
  std::vector<uint8_t> data;
};

struct Figures {
  double expandFile = 0, expandFileRef = 0, callbacks = 0, gzip = 0;  // best seconds
  size_t hzlSize = 0, gzSize = 0;
};

double Best(double current, double seconds) { return current == 0 || seconds < current ? seconds : current; }

Figures Measure(const Sample& sample, const Options& options, const fs::path& dir) {
  Figures f;
  const std::vector<uint8_t> hzl = CompressToContainer(sample.data.data(), sample.data.size(), options.level);
  f.hzlSize = hzl.size();
  const fs::path raw = dir / (std::string(sample.name) + ".raw");
  const fs::path packed = dir / (std::string(sample.name) + ".hzl");
  const fs::path gz = dir / (std::string(sample.name) + ".raw.gz");
  const fs::path expanded = dir / (std::string(sample.name) + ".out");
  const fs::path gunzipped = dir / (std::string(sample.name) + ".gunzip");
  WriteAll(raw, sample.data);
  WriteAll(packed, hzl);
  const std::string gzipCommand = "gzip -9 -c '" + raw.string() + "' > '" + gz.string() + "'";
  if (std::system(gzipCommand.c_str()) != 0) throw std::runtime_error("gzip -9 failed");
  f.gzSize = fs::file_size(gz);
  const std::string gunzipCommand = "gzip -dc '" + gz.string() + "' > '" + gunzipped.string() + "'";

  ExpanderInputName = packed.string();
  ExpanderOutputName = expanded.string();
  std::vector<uint8_t> memoryOut(sample.data.size() + 64);
  const int32_t declared = static_cast<int32_t>(sample.data.size());

  auto runExpandFile = [&](bool fast) {
    SetBufferedFastPathEnabled(fast);
    const auto t0 = Clock::now();
    const int32_t result = ExpandFile();
    const auto t1 = Clock::now();
    SetBufferedFastPathEnabled(true);
    if (result != 1) throw std::runtime_error("ExpandFile failed");
    return Seconds(t0, t1);
  };
  auto runCallbacks = [&] {
    g_in = hzl.data() + 8;
    g_inSize = hzl.size() - 8;
    g_inPos = 0;
    g_out = memoryOut.data();
    g_outCapacity = memoryOut.size();
    g_outPos = 0;
    const auto t0 = Clock::now();
    LzhUnpack(declared, MemorySource, MemorySink);
    const auto t1 = Clock::now();
    return Seconds(t0, t1);
  };
  auto runGzip = [&] {
    const auto t0 = Clock::now();
    const int status = std::system(gunzipCommand.c_str());
    const auto t1 = Clock::now();
    if (status != 0) throw std::runtime_error("gzip -dc failed");
    return Seconds(t0, t1);
  };

  // Every contender must produce the input before its time counts.
  runExpandFile(true);
  if (ReadAll(expanded) != sample.data) throw std::runtime_error(std::string(sample.name) + ": ExpandFile output differs");
  runExpandFile(false);
  if (ReadAll(expanded) != sample.data) throw std::runtime_error(std::string(sample.name) + ": reference output differs");
  runCallbacks();
  if (g_outPos != sample.data.size() || !std::equal(sample.data.begin(), sample.data.end(), memoryOut.begin()))
    throw std::runtime_error(std::string(sample.name) + ": callback output differs");
  runGzip();
  if (ReadAll(gunzipped) != sample.data) throw std::runtime_error(std::string(sample.name) + ": gzip output differs");

  for (int r = 0; r < options.repeats; ++r) {
    f.expandFile = Best(f.expandFile, runExpandFile(true));
    f.expandFileRef = Best(f.expandFileRef, runExpandFile(false));
    f.callbacks = Best(f.callbacks, runCallbacks());
    f.gzip = Best(f.gzip, runGzip());
  }
  for (const fs::path& p : {raw, packed, gz, expanded, gunzipped}) fs::remove(p);
  return f;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--mb" && hasValue) o.megabytes = std::stoul(argv[++i]);
    else if (arg == "--repeats" && hasValue) o.repeats = std::stoi(argv[++i]);
    else if (arg == "--level" && hasValue) o.level = std::stoi(argv[++i]);
    else throw std::invalid_argument("usage: expansion_bench [--mb N] [--repeats N] [--level 1..9]");
  }
  if (o.megabytes == 0 || o.repeats < 1) throw std::invalid_argument("--mb and --repeats must be positive");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options options = Parse(argc, argv);
    SetFileOpsForTesting(&kBenchFileOps);
    const size_t size = options.megabytes * 1000000;
    std::string pattern = (fs::temp_directory_path() / "hzl-expansion-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
    const fs::path dir = pattern;

    const Sample samples[] = {{"program image", hzlbench::MakeProgramImage(size)},
                              {"text", hzlbench::MakeText(size)}};
    std::printf("expanded size %zu bytes per input, level %d, best of %d runs, MB/s of expanded output\n\n",
                size, options.level, options.repeats);
    std::printf("%-14s %7s %7s | %10s %10s %10s %9s | %7s %7s %7s\n", "input", "hzl", "gzip -9", "ExpandFile",
                "ExpandFile", "LzhUnpack", "gzip -dc", "ExpandFile vs", "", "");
    std::printf("%-14s %7s %7s | %10s %10s %10s %9s | %7s %7s %7s\n", "", "size", "size", "", "reference",
                "memory cb", "", "mem cb", "ref", "gzip");
    for (const Sample& s : samples) {
      const Figures f = Measure(s, options, dir);
      const double mb = static_cast<double>(s.data.size()) / 1e6;
      std::printf("%-14s %6.1f%% %6.1f%% | %10.1f %10.1f %10.1f %9.1f | %6.2fx %6.2fx %6.2fx\n", s.name,
                  100.0 * static_cast<double>(f.hzlSize) / static_cast<double>(s.data.size()),
                  100.0 * static_cast<double>(f.gzSize) / static_cast<double>(s.data.size()), mb / f.expandFile,
                  mb / f.expandFileRef, mb / f.callbacks, mb / f.gzip, f.callbacks / f.expandFile,
                  f.expandFileRef / f.expandFile, f.gzip / f.expandFile);
      std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "expansion_bench: %s\n", e.what());
    return 1;
  }
}
