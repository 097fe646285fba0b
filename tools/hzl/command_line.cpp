#include "command_line.h"

const char* const kHzlUsage =
    "usage: hzl [-1..-9] [-f] [-k] [-v] IN [-o OUT]   compress IN (default OUT: NAME.ex_ for NAME.exe)\n"
    "       hzl -d [-f] IN -o OUT                    expand IN into OUT\n"
    "       hzl -l FILE...                           list expanded size, compressed size, ratio\n"
    "       hzl -t FILE...                           test that each FILE expands intact, nothing left over\n"
    "       hzl --help | --version\n"
    "IN may be - for standard input, OUT - for standard output.\n"
    "  -1 fastest ... -9 smallest (default -6); -f overwrite OUT; -k keep IN (always);\n"
    "  -v print sizes and ratio.\n"
    "Exit status: 0 success, 1 a file failed, 2 usage error.\n";

namespace {

bool SetMode(HzlOptions& o, HzlMode m, bool& modeSet, std::string& error) {
  if (modeSet && o.mode != m) {
    error = "only one of -d, -l, -t may be given";
    return false;
  }
  o.mode = m;
  modeSet = true;
  return true;
}

}  // namespace

ParseResult ParseHzlCommandLine(const std::vector<std::string>& args) {
  ParseResult r;
  HzlOptions& o = r.options;
  bool modeSet = false;
  bool onlyFiles = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyFiles || a == "-" || a.size() < 2 || a[0] != '-') {
      o.inputs.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
    } else if (a == "--help" || a == "-h") {
      o.mode = HzlMode::Help;
      r.ok = true;
      return r;
    } else if (a == "--version" || a == "-V") {
      o.mode = HzlMode::Version;
      r.ok = true;
      return r;
    } else if (a == "-o") {
      if (i + 1 >= args.size()) {
        r.error = "-o needs a file name";
        return r;
      }
      o.output = args[++i];
    } else if (a[1] != '-') {
      // Bundled short flags, e.g. -9fv.
      for (size_t k = 1; k < a.size(); ++k) {
        const char c = a[k];
        if (c >= '1' && c <= '9') {
          o.level = c - '0';
        } else if (c == 'd') {
          if (!SetMode(o, HzlMode::Expand, modeSet, r.error)) return r;
        } else if (c == 'l') {
          if (!SetMode(o, HzlMode::List, modeSet, r.error)) return r;
        } else if (c == 't') {
          if (!SetMode(o, HzlMode::Test, modeSet, r.error)) return r;
        } else if (c == 'f') {
          o.force = true;
        } else if (c == 'k') {
          // Inputs are never removed; accepted for habit's sake.
        } else if (c == 'v') {
          o.verbose = true;
        } else {
          r.error = std::string("unknown option -") + c;
          return r;
        }
      }
    } else {
      r.error = "unknown option " + a;
      return r;
    }
  }

  if (o.inputs.empty()) {
    r.error = "no input file given";
    return r;
  }
  const bool single = o.mode == HzlMode::Compress || o.mode == HzlMode::Expand;
  if (single && o.inputs.size() > 1) {
    r.error = "one input file at a time";
    return r;
  }
  if (!single && !o.output.empty()) {
    r.error = "-o goes with compressing or expanding";
    return r;
  }
  if (o.level != 0 && o.mode != HzlMode::Compress) {
    r.error = "a level goes with compressing";
    return r;
  }
  if (o.mode == HzlMode::Expand && o.output.empty()) {
    if (o.inputs[0] == "-") {
      o.output = "-";
    } else {
      r.error = "-d needs -o OUT (the expanded name cannot be told from NAME.ex_)";
      return r;
    }
  }
  if (o.mode == HzlMode::Compress && o.output.empty()) {
    if (o.inputs[0] == "-") {
      o.output = "-";
    } else {
      o.output = CompressedNameFor(o.inputs[0]);
      if (o.output.empty()) {
        r.error = "cannot derive a compressed name from " + o.inputs[0] + " (it needs an extension); use -o";
        return r;
      }
    }
  }
  r.ok = true;
  return r;
}

std::string CompressedNameFor(const std::string& path) {
  const size_t slash = path.find_last_of("/\\:");
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                            dot + 1 < path.size() && dot > (slash == std::string::npos ? 0 : slash + 1);
  if (!hasExtension || path.back() == '_') return {};
  std::string out = path;
  out.back() = '_';
  return out;
}
