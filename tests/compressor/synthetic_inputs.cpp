#include "synthetic_inputs.h"

#include <string>

namespace hzltest {

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t Rng::Below(uint32_t bound) { return static_cast<uint32_t>((Next() >> 32) % bound); }

namespace {

// The most common words of the prose, in order of frequency; the rest of the
// vocabulary is made of syllables.
const char* const kCommonWords[] = {
    "the",   "of",      "and",     "to",      "in",      "is",      "file",    "setup",   "for",     "with",
    "that",  "this",    "from",    "are",     "be",      "or",      "by",      "not",     "you",     "your",
    "can",   "will",    "all",     "when",    "which",   "new",     "each",    "must",    "before",  "after",
    "install", "program", "version", "window", "licence", "data",  "record",  "folder",  "system",  "user",
};
const char* const kSyllables[] = {
    "ba", "be", "con", "de", "di", "er", "ex", "fa", "ga", "im", "in", "ka", "la", "le", "li", "lo",
    "ma", "me", "mo", "na", "ne", "no", "or", "pa", "pe", "pro", "ra", "re", "ri", "ro", "sa", "se",
    "si", "so", "ta", "te", "ti", "to", "tra", "un", "va", "ve", "vi", "ing", "tion", "ment", "ly", "ed",
};

class Vocabulary {
 public:
  explicit Vocabulary(Rng& rng) {
    for (const char* w : kCommonWords) words_.emplace_back(w);
    while (words_.size() < kSize) {
      std::string w;
      for (uint32_t n = 1 + rng.Below(3) + rng.Below(2); n > 0; --n) w += kSyllables[rng.Below(48)];
      words_.push_back(w);
    }
  }
  // Word k is picked about as often as 1/(k+1): the rank is drawn on a
  // logarithmic scale, then uniformly within its octave.
  const std::string& Pick(Rng& rng) const {
    const uint32_t octave = rng.Below(kOctaves);
    const uint32_t low = (1u << octave) - 1u;
    const uint32_t index = low + rng.Below(1u << octave);
    return words_[index < words_.size() ? index : rng.Below(8)];
  }

 private:
  static constexpr uint32_t kOctaves = 12;
  static constexpr size_t kSize = (size_t{1} << kOctaves) - 1;
  std::vector<std::string> words_;
};

void Append(std::vector<uint8_t>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFFu);
  Put16(out, v >> 16);
}

void PadTo(std::vector<uint8_t>& out, size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}

// x86-flavoured code: prologues, register moves, calls to a small set of
// targets, conditional jumps, immediates, epilogues.
void AppendCode(std::vector<uint8_t>& out, size_t bytes, Rng& rng) {
  const size_t end = out.size() + bytes;
  uint32_t targets[64];
  for (uint32_t& t : targets) t = 0x401000u + rng.Below(0x40000u);
  while (out.size() < end) {
    out.insert(out.end(), {0x55, 0x8B, 0xEC});  // function prologue
    if (rng.Below(2)) out.insert(out.end(), {0x83, 0xEC, static_cast<uint8_t>(4 * (1 + rng.Below(16)))});
    const uint32_t statements = 3 + rng.Below(20);
    for (uint32_t s = 0; s < statements; ++s) {
      switch (rng.Below(8)) {
        case 0:  // mov eax, [ebp+disp8]
          out.insert(out.end(), {0x8B, 0x45, static_cast<uint8_t>(0x08 + 4 * rng.Below(6))});
          break;
        case 1:  // push imm32 / call
          out.push_back(0x68);
          Put32(out, 0x00410000u + 4 * rng.Below(512));
          [[fallthrough]];
        case 2: {
          out.push_back(0xE8);
          const uint32_t target = targets[rng.Below(64)];
          Put32(out, target - static_cast<uint32_t>(out.size()) - 4u);
          break;
        }
        case 3:  // test eax, eax; jz short
          out.insert(out.end(), {0x85, 0xC0, 0x74, static_cast<uint8_t>(rng.Below(0x40))});
          break;
        case 4:  // mov reg, reg
          out.insert(out.end(), {0x8B, static_cast<uint8_t>(0xC0 + rng.Below(64))});
          break;
        case 5:  // mov [ebp-disp8], imm32
          out.insert(out.end(), {0xC7, 0x45, static_cast<uint8_t>(0x100 - 4 * (1 + rng.Below(8)))});
          Put32(out, rng.Below(4) == 0 ? rng.Below(256) : 0);
          break;
        case 6:  // add esp, n after a call
          out.insert(out.end(), {0x83, 0xC4, static_cast<uint8_t>(4 * (1 + rng.Below(4)))});
          break;
        default:  // an odd instruction
          for (uint32_t k = 1 + rng.Below(5); k > 0; --k) out.push_back(rng.Byte());
          break;
      }
    }
    out.insert(out.end(), {0x8B, 0xE5, 0x5D, 0xC3});  // epilogue
    while (out.size() % 16 != 0) out.push_back(0xCC);
  }
  out.resize(end);
}

void AppendStrings(std::vector<uint8_t>& out, size_t bytes, Rng& rng, const Vocabulary& words, bool wide) {
  const size_t end = out.size() + bytes;
  while (out.size() < end) {
    std::string s;
    for (uint32_t w = 1 + rng.Below(6); w > 0; --w) {
      if (!s.empty()) s += ' ';
      s += words.Pick(rng);
    }
    if (rng.Below(4) == 0) s[0] = static_cast<char>(s[0] - 'a' + 'A');
    for (char c : s) {
      out.push_back(static_cast<uint8_t>(c));
      if (wide) out.push_back(0);
    }
    out.push_back(0);
    if (wide) out.push_back(0);
  }
  out.resize(end);
}

void AppendPointerTable(std::vector<uint8_t>& out, size_t bytes, Rng& rng) {
  const size_t end = out.size() + bytes;
  uint32_t p = 0x00402000u + 16 * rng.Below(0x1000);
  while (out.size() < end) {
    Put32(out, p);
    p += 4 * (1 + rng.Below(16));
  }
  out.resize(end);
}

}  // namespace

std::vector<uint8_t> MakeExecutableLike(size_t size, uint64_t seed) {
  Rng rng(seed);
  const Vocabulary words(rng);
  std::vector<uint8_t> out;
  out.reserve(size + 4096);
  // Headers: the DOS stub's signature, a mostly empty header, the PE head and
  // a section table, padded to 512 bytes.
  Append(out, "MZ");
  out.resize(0x3C, 0);
  Put32(out, 0x80);
  out.resize(0x80, 0);
  Append(out, std::string("PE\0\0", 4));
  Put16(out, 0x14C);
  Put16(out, 4);
  for (int i = 0; i < 5; ++i) Put32(out, rng.Below(2) ? 0 : static_cast<uint32_t>(rng.Next()));
  for (const char* name : {".text", ".rdata", ".data", ".rsrc"}) {
    std::string n(name);
    n.resize(8, '\0');
    Append(out, n);
    for (int i = 0; i < 8; ++i) Put32(out, i == 1 ? 0x1000u * static_cast<uint32_t>(out.size() / 40) : 0);
  }
  PadTo(out, 512);
  while (out.size() < size) {
    // Sections in turn, each a few KB to a few tens of KB, padded to 512.
    const size_t chunk = 2048 + rng.Below(24 * 1024);
    switch (rng.Below(6)) {
      case 0:
      case 1:
      case 2:
        AppendCode(out, chunk, rng);
        break;
      case 3:
        AppendStrings(out, chunk / 2, rng, words, rng.Below(2) == 1);
        break;
      case 4:
        AppendPointerTable(out, chunk / 4, rng);
        break;
      default:
        out.resize(out.size() + chunk / 8, 0);  // uninitialised data
        break;
    }
    PadTo(out, 512);
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> MakeText(size_t size, uint64_t seed) {
  Rng rng(seed);
  const Vocabulary words(rng);
  std::vector<uint8_t> out;
  out.reserve(size + 256);
  while (out.size() < size) {
    // A paragraph of sentences, now and then a heading or an indented list.
    const uint32_t kind = rng.Below(10);
    if (kind == 0) {
      std::string heading = std::to_string(1 + rng.Below(20)) + "." + std::to_string(1 + rng.Below(9)) + " ";
      heading += words.Pick(rng);
      heading += ' ';
      heading += words.Pick(rng);
      heading[heading.find(' ') + 1] = static_cast<char>(heading[heading.find(' ') + 1] - 'a' + 'A');
      Append(out, heading + "\r\n\r\n");
      continue;
    }
    const bool list = kind == 1;
    size_t column = 0;
    for (uint32_t s = 2 + rng.Below(6); s > 0; --s) {
      if (list) {
        Append(out, "    - ");
        column = 6;
      }
      bool first = true;
      for (uint32_t w = 4 + rng.Below(12); w > 0; --w) {
        std::string word = words.Pick(rng);
        if (first) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        if (!first || column > 6) {
          if (column + word.size() > 72) {
            Append(out, "\r\n");
            column = 0;
          } else {
            out.push_back(' ');
            ++column;
          }
        }
        Append(out, word);
        column += word.size();
        first = false;
      }
      Append(out, rng.Below(8) == 0 ? "," : ".");
      ++column;
      if (list) {
        Append(out, "\r\n");
        column = 0;
      }
    }
    Append(out, "\r\n\r\n");
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> MakeNoise(size_t size, uint64_t seed) {
  Rng rng(seed);
  std::vector<uint8_t> out(size);
  for (uint8_t& b : out) b = rng.Byte();
  return out;
}

}  // namespace hzltest
