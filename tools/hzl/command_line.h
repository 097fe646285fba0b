#pragma once
// What the user asked `hzl` to do, parsed from argv in the conventions of
// gzip-like tools. Parsing never touches a file.

#include <string>
#include <vector>

enum class HzlMode { Compress, Expand, List, Test, Help, Version };

struct HzlOptions {
  HzlMode mode = HzlMode::Compress;
  int level = 0;          // 0: the compressor's default
  bool force = false;     // overwrite an existing output
  bool verbose = false;   // sizes and ratio after each file
  std::string output;     // -o; "-" is standard output; empty: derived
  std::vector<std::string> inputs;  // "-" is standard input
};

struct ParseResult {
  bool ok = false;
  std::string error;  // set when !ok
  HzlOptions options;
};

ParseResult ParseHzlCommandLine(const std::vector<std::string>& args);

// NAME.ext -> NAME.ex_ : the last character of the extension becomes "_".
// Empty when the name has no extension to mark (or is already marked).
std::string CompressedNameFor(const std::string& path);

extern const char* const kHzlUsage;
