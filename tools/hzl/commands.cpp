#include "commands.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "file_expander.h"
#include "hzl_compressor.h"
#include "lzh_decoder.h"
#include "lzh_exceptions.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kProgressThreshold = size_t{4} << 20;  // show progress above 4 MiB

void Fail(const std::string& message) { std::fprintf(stderr, "hzl: %s\n", message.c_str()); }

bool IsTerminal(FILE* f) {
#ifdef _WIN32
  return _isatty(_fileno(f)) != 0;
#else
  return isatty(fileno(f)) != 0;
#endif
}

bool ReadAll(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  if (path == "-") {
    std::vector<char> chunk(1 << 16);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0) bytes.insert(bytes.end(), chunk.data(), chunk.data() + n);
    if (std::ferror(stdin)) {
      error = "error reading standard input";
      return false;
    }
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": read error";
    return false;
  }
  return true;
}

// Reads a whole input ("-": standard input); says why on standard error when
// it cannot.
bool ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string error;
  const bool ok = ReadAll(path, bytes, error);
  if (!ok) Fail(error);
  return ok;
}

// A file written under a temporary name beside its destination and renamed
// over it only when complete, so a failure never leaves a half-written OUT
// nor destroys the one that was there.
class StagedOutput {
 public:
  explicit StagedOutput(std::string destination) : destination_(std::move(destination)) {
    std::random_device rd;
    temp_ = destination_ + ".hzl-" + std::to_string(rd() % 1000000u) + ".part";
  }
  ~StagedOutput() {
    if (!committed_) {
      std::error_code ec;
      fs::remove(temp_, ec);
    }
  }
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  const std::string& TempPath() const { return temp_; }

  bool Commit(std::string& error) {
    std::error_code ec;
    fs::rename(temp_, destination_, ec);
    if (ec) {
      error = destination_ + ": " + ec.message();
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  std::string destination_;
  std::string temp_;
  bool committed_ = false;
};

bool WriteAllTo(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  if (path == "-") {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      error = "error writing standard output";
      return false;
    }
    return true;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = path + ": write error";
    return false;
  }
  return true;
}

bool RefuseToOverwrite(const HzlOptions& o) {
  std::error_code ec;
  if (o.output != "-" && !o.force && fs::exists(o.output, ec)) {
    Fail(o.output + " already exists; use -f to overwrite");
    return true;
  }
  return false;
}

double Ratio(int64_t expanded, int64_t compressed) {
  return expanded > 0 ? 100.0 * (1.0 - static_cast<double>(compressed) / static_cast<double>(expanded)) : 0.0;
}

// --- Expanding from memory, for standard input and output and for -t. ---
// The decoder's callbacks carry no context, so the stream they work on is
// file-scope state, set up for one decoding at a time.
const std::vector<uint8_t>* g_stream = nullptr;
size_t g_streamPos = 0;
FILE* g_sinkFile = nullptr;  // nullptr: count only
int64_t g_sinkCount = 0;

void MemorySource(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  size_t n = 0;
  while (n < count && g_streamPos < g_stream->size()) buffer[n++] = (*g_stream)[g_streamPos++];
  actual = static_cast<uint16_t>(n);
}

void StreamSink(uint8_t* buffer, uint16_t count, uint16_t& actual) {
  if (g_sinkFile && std::fwrite(buffer, 1, count, g_sinkFile) != count)
    throw ELzrw1Exception("Lzrw1 : ERROR WRITING TO standard output !");
  g_sinkCount += count;
  actual = count;
}

int32_t HeadField(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
                              uint32_t{b[at + 3]} << 24);
}

// Decodes a whole "!HZL" file held in memory into `sink` (nullptr: nowhere).
// Raises the expander's exceptions with its messages. With `complete`, also
// raises when bytes of the stream are left over once the declared size is
// reached: the expander ignores them, but in a file our compressor wrote they
// mean a corrupt stream (or data appended to it). A complete stream makes the
// decoder ask for exactly one byte beyond its last, so every byte of it is
// fetched.
void ExpandInMemory(const std::string& name, const std::vector<uint8_t>& file, FILE* sink, bool complete = false) {
  if (file.size() < 4) throw ELzrw1Exception("Lzrw1 : ERROR READING FROM " + name + " !");
  if (static_cast<uint32_t>(HeadField(file, 0)) != LzhSignature)
    throw ELzrw1Exception("Lzrw1 : " + name + " : NOT A COMPRESSED FILE !");
  if (file.size() < ContainerHeadSize) throw ELzrw1Exception("Lzrw1 : ERROR READING FROM " + name + " !");
  const std::vector<uint8_t> stream(file.begin() + ContainerHeadSize, file.end());
  g_stream = &stream;
  g_streamPos = 0;
  g_sinkFile = sink;
  g_sinkCount = 0;
  LzhUnpack(HeadField(file, 4), MemorySource, StreamSink);
  if (sink && std::fflush(sink) != 0) throw ELzrw1Exception("Lzrw1 : ERROR WRITING TO standard output !");
  if (complete && g_streamPos < stream.size()) {
    const size_t extra = stream.size() - g_streamPos;
    throw ELzrw1Exception(name + " : " + std::to_string(extra) + (extra == 1 ? " byte" : " bytes") +
                          " after the end of the compressed data (corrupt?)");
  }
}

std::string DisplayName(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace

void UseBinaryStandardStreams() {
#ifdef _WIN32
  // Text mode would turn every 0A into 0D 0A on the way out and stop reading
  // at the first 1A.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

int RunCompress(const HzlOptions& o) {
  const std::string& in = o.inputs[0];
  if (RefuseToOverwrite(o)) return 1;
  if (o.output == "-" && !o.force && IsTerminal(stdout)) {
    Fail("compressed data not written to a terminal; use -o FILE, a pipe, or -f");
    return 1;
  }
  std::vector<uint8_t> data;
  if (!ReadInput(in, data)) return 1;
  const bool showProgress = data.size() > kProgressThreshold && IsTerminal(stderr);
  CompressProgress progress;
  if (showProgress) {
    progress = [&](size_t done, size_t total) {
      std::fprintf(stderr, "\rhzl: %s %3d%%", DisplayName(in).c_str(), static_cast<int>(done * 100 / total));
      if (done == total) std::fputc('\n', stderr);
    };
  }
  std::vector<uint8_t> packed;
  try {
    packed = CompressToContainer(data.data(), data.size(), o.level ? o.level : kDefaultLevel, progress);
  } catch (const std::exception& e) {
    Fail(DisplayName(in) + ": " + e.what());
    return 1;
  }
  std::string error;
  if (o.output == "-") {
    if (!WriteAllTo("-", packed, error)) {
      Fail(error);
      return 1;
    }
  } else {
    StagedOutput staged(o.output);
    if (!WriteAllTo(staged.TempPath(), packed, error) || !staged.Commit(error)) {
      Fail(error);
      return 1;
    }
  }
  if (o.verbose) {
    std::fprintf(stderr, "%s: %zu -> %zu bytes, %.1f%% saved\n", DisplayName(in).c_str(), data.size(), packed.size(),
                 Ratio(static_cast<int64_t>(data.size()), static_cast<int64_t>(packed.size())));
  }
  return 0;
}

int RunExpand(const HzlOptions& o) {
  const std::string& in = o.inputs[0];
  if (RefuseToOverwrite(o)) return 1;
  try {
    if (in == "-" || o.output == "-") {
      std::vector<uint8_t> file;
      if (!ReadInput(in, file)) return 1;
      if (o.output == "-") {
        ExpandInMemory(DisplayName(in), file, stdout);
      } else {
        StagedOutput staged(o.output);
        FILE* out = std::fopen(staged.TempPath().c_str(), "wb");
        if (!out) throw ELzrw1Exception("Lzrw1 : Outputfile " + o.output + " can not be opened !");
        try {
          ExpandInMemory(DisplayName(in), file, out);
        } catch (...) {
          std::fclose(out);
          throw;
        }
        if (std::fclose(out) != 0) throw ELzrw1Exception("Lzrw1 : ERROR WRITING TO " + o.output + " !");
        std::string error;
        if (!staged.Commit(error)) {
          Fail(error);
          return 1;
        }
      }
      return 0;
    }

    // Files on both sides: the expander proper. A new OUT is written in place
    // (the expander deletes it on failure); an existing one is replaced only
    // once the expansion has succeeded.
    std::error_code ec;
    const bool replacing = fs::exists(o.output, ec);
    StagedOutput staged(o.output);
    ExpanderInputName = in;
    ExpanderOutputName = replacing ? staged.TempPath() : o.output;
    ExpandCompressedFile();
    std::string error;
    if (replacing && !staged.Commit(error)) {
      Fail(error);
      return 1;
    }
    return 0;
  } catch (const Exception& e) {
    Fail(e.Message());
  } catch (const std::exception& e) {
    Fail(DisplayName(in) + ": " + e.what());
  }
  return 1;
}

int RunList(const HzlOptions& o) {
  int status = 0;
  std::printf("%12s %12s %7s  %s\n", "expanded", "compressed", "ratio", "name");
  int64_t totalExpanded = 0, totalCompressed = 0;
  for (const std::string& name : o.inputs) {
    std::vector<uint8_t> file;
    if (!ReadInput(name, file)) {
      status = 1;
      continue;
    }
    if (file.size() < ContainerHeadSize || static_cast<uint32_t>(HeadField(file, 0)) != LzhSignature) {
      Fail(DisplayName(name) + ": not a !HZL compressed file");
      status = 1;
      continue;
    }
    const int64_t declared = HeadField(file, 4) > 0 ? HeadField(file, 4) : 0;
    const int64_t compressed = static_cast<int64_t>(file.size());
    totalExpanded += declared;
    totalCompressed += compressed;
    std::printf("%12lld %12lld %6.1f%%  %s\n", static_cast<long long>(declared), static_cast<long long>(compressed),
                Ratio(declared, compressed), DisplayName(name).c_str());
  }
  if (o.inputs.size() > 1) {
    std::printf("%12lld %12lld %6.1f%%  (totals)\n", static_cast<long long>(totalExpanded),
                static_cast<long long>(totalCompressed), Ratio(totalExpanded, totalCompressed));
  }
  return status;
}

int RunTest(const HzlOptions& o) {
  int status = 0;
  for (const std::string& name : o.inputs) {
    std::vector<uint8_t> file;
    if (!ReadInput(name, file)) {
      status = 1;
      continue;
    }
    try {
      ExpandInMemory(DisplayName(name), file, nullptr, true);
      std::printf("%s: OK\n", DisplayName(name).c_str());
    } catch (const Exception& e) {
      std::printf("%s: FAILED\n", DisplayName(name).c_str());
      Fail(e.Message());
      status = 1;
    }
  }
  return status;
}
