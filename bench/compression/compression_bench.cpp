// Compression benchmark: for each input, the compressed size at level 1
// (greedy), the default level and level 9, the size gzip -9 makes of the same
// bytes, and the speed of compressing at the default level and of expanding
// with ExpandFile.
//
//   compression_bench [--golden DIR] [--no-generated] [--repeat N] [FILE...]
//
// The corpus: the inputs of the reference streams (DIR, by default the
// shared golden folder), a generated executable-like binary and text of a few
// MB each (made afresh on every run, never stored), and any FILE given.
// Speeds are the best of N runs (default 3); the machine's other work makes
// single runs noisy. Beside the wall-clock compression speed, "(cpu)" gives
// the same run's speed by processor time, which others' work disturbs less.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file_expander.h"
#include "hzl_compressor.h"
#include "synthetic_inputs.h"

namespace fs = std::filesystem;

namespace {

struct Input {
  std::string name;
  std::vector<uint8_t> bytes;
};

struct Row {
  std::string name;
  size_t size = 0;
  size_t fastest = 0, standard = 0, best = 0;
  long long gzip = -1;  // -1: gzip unavailable
  double compressSeconds = 0, expandSeconds = 0;
  double compressCpuSeconds = 0;  // processor time, less disturbed by other work on the machine
};

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Size of `gzip -9 -c path`, counted from a pipe; -1 when gzip cannot run.
long long GzipSize(const fs::path& path) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    execlp("gzip", "gzip", "-9", "-c", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  long long total = 0;
  char buffer[1 << 16];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) total += n;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? total : -1;
}

// The best wall-clock time of `repeat` runs of fn, and the processor time of
// the same run.
template <typename Fn>
double BestSeconds(int repeat, Fn&& fn, double* cpuSeconds = nullptr) {
  double best = 1e300;
  for (int r = 0; r < repeat; ++r) {
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    fn();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) {
      best = took.count();
      if (cpuSeconds) *cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    }
  }
  return best;
}

double MBps(size_t bytes, double seconds) { return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0; }
double Saved(size_t base, size_t size) {
  return base ? 100.0 * (1.0 - static_cast<double>(size) / static_cast<double>(base)) : 0;
}

int Usage() {
  std::fprintf(stderr, "usage: compression_bench [--golden DIR] [--no-generated] [--repeat N] [FILE...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path golden = HZL_GOLDEN_DIR;
  bool generated = true;
  int repeat = 3;
  std::vector<fs::path> extra;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--golden" && i + 1 < argc) {
      golden = argv[++i];
    } else if (a == "--no-generated") {
      generated = false;
    } else if (a == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else {
      extra.emplace_back(a);
    }
  }

  std::vector<Input> inputs;
  std::error_code ec;
  if (fs::is_directory(golden, ec)) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(golden)) {
      const fs::path& p = entry.path();
      if (entry.is_regular_file() && p.extension() != ".hzl" && p.extension() != ".md") names.push_back(p);
    }
    std::sort(names.begin(), names.end());
    for (const fs::path& p : names) inputs.push_back({p.filename().string(), ReadFile(p)});
  } else {
    std::fprintf(stderr, "compression_bench: no golden folder at %s; going on without it\n", golden.c_str());
  }
  if (generated) {
    inputs.push_back({"gen-executable.bin", hzltest::MakeExecutableLike(6 << 20, 1)});
    inputs.push_back({"gen-text.txt", hzltest::MakeText(4 << 20, 2)});
  }
  for (const fs::path& p : extra) {
    if (!fs::is_regular_file(p, ec)) {
      std::fprintf(stderr, "compression_bench: %s: not a file\n", p.c_str());
      return 1;
    }
    inputs.push_back({p.filename().string(), ReadFile(p)});
  }

  const fs::path scratch = fs::temp_directory_path() / ("hzl-bench-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const fs::path plain = scratch / "input", packed = scratch / "input.hzl", expanded = scratch / "expanded";

  std::vector<Row> rows;
  bool allIntact = true;
  for (const Input& in : inputs) {
    Row row;
    row.name = in.name;
    row.size = in.bytes.size();
    row.fastest = CompressToContainer(in.bytes.data(), in.bytes.size(), kFastestLevel).size();
    row.best = CompressToContainer(in.bytes.data(), in.bytes.size(), kBestLevel).size();
    std::vector<uint8_t> container;
    row.compressSeconds = BestSeconds(
        repeat, [&] { container = CompressToContainer(in.bytes.data(), in.bytes.size(), kDefaultLevel); },
        &row.compressCpuSeconds);
    row.standard = container.size();

    WriteFile(plain, in.bytes);
    WriteFile(packed, container);
    row.gzip = GzipSize(plain);
    ExpanderInputName = packed.string();
    ExpanderOutputName = expanded.string();
    int32_t result = 0;
    row.expandSeconds = BestSeconds(repeat, [&] { result = ExpandFile(); });
    if (result != 1 || ReadFile(expanded) != in.bytes) {
      std::fprintf(stderr, "compression_bench: %s does not expand to its input!\n", in.name.c_str());
      allIntact = false;
    }
    rows.push_back(row);
  }
  fs::remove_all(scratch, ec);

  char defaultColumn[8];
  std::snprintf(defaultColumn, sizeof defaultColumn, "-%d", kDefaultLevel);
  std::printf("%-22s %10s %10s %10s %10s %10s %9s %9s %9s\n", "input", "size", "-1", defaultColumn, "-9", "gzip -9",
              "comp MB/s", "(cpu)", "exp MB/s");
  Row total;
  total.gzip = 0;
  for (const Row& r : rows) {
    char gz[32] = "n/a";
    if (r.gzip >= 0) std::snprintf(gz, sizeof gz, "%lld", r.gzip);
    std::printf("%-22s %10zu %10zu %10zu %10zu %10s %9.1f %9.1f %9.1f\n", r.name.c_str(), r.size, r.fastest,
                r.standard, r.best, gz, MBps(r.size, r.compressSeconds), MBps(r.size, r.compressCpuSeconds),
                MBps(r.size, r.expandSeconds));
    total.size += r.size;
    total.fastest += r.fastest;
    total.standard += r.standard;
    total.best += r.best;
    total.gzip = (total.gzip < 0 || r.gzip < 0) ? -1 : total.gzip + r.gzip;
    total.compressSeconds += r.compressSeconds;
    total.compressCpuSeconds += r.compressCpuSeconds;
    total.expandSeconds += r.expandSeconds;
  }
  char gz[32] = "n/a";
  if (total.gzip >= 0) std::snprintf(gz, sizeof gz, "%lld", total.gzip);
  std::printf("%-22s %10zu %10zu %10zu %10zu %10s %9.1f %9.1f %9.1f\n", "total", total.size, total.fastest,
              total.standard, total.best, gz, MBps(total.size, total.compressSeconds),
              MBps(total.size, total.compressCpuSeconds), MBps(total.size, total.expandSeconds));
  std::printf("default level -%d: %.2f%% smaller than -1; -9: %.2f%% smaller than -1\n", kDefaultLevel,
              Saved(total.fastest, total.standard), Saved(total.fastest, total.best));
  return allIntact ? 0 : 1;
}
