#include "sample_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace hzlbench {
namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  // Skewed towards small values: rank 0 is the most frequent, roughly 1/rank.
  uint32_t Skewed(uint32_t n) {
    const double u = static_cast<double>(Next() >> 11) / 9007199254740992.0;
    const auto r = static_cast<uint32_t>(std::exp(u * std::log(static_cast<double>(n) + 1.0))) - 1;
    return std::min(r, n - 1);
  }

 private:
  uint64_t state_;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U8(unsigned v) { out_.push_back(static_cast<uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Bytes(std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) U8(b);
  }
  void Ascii(const std::string& s) { out_.insert(out_.end(), s.begin(), s.end()); }
  void Utf16(const std::string& s) {
    for (char c : s) U16(static_cast<unsigned char>(c));
  }
  void PadTo(size_t alignment, uint8_t fill) {
    while (out_.size() % alignment != 0) out_.push_back(fill);
  }
  size_t Size() const { return out_.size(); }

 private:
  std::vector<uint8_t>& out_;
};

const char* const kSyllables[] = {
    "ver", "ge", "be", "ein", "aus", "un", "an", "ab", "zu", "er", "sch", "st", "ung", "keit", "heit",
    "lich", "isch", "en", "er", "el", "in", "ar", "or", "ti", "on", "the", "ing", "re", "de", "pro",
    "con", "for", "ma", "na", "ta", "li", "ri", "mo", "so", "ka", "wer", "bau", "haus", "land", "zeit",
    "wort", "ment", "ness", "ful", "ble", "ter", "ster", "ach", "ich", "ig", "ast", "ost", "um", "ie"};

std::string MakeWord(Random& rng) {
  std::string word;
  const uint32_t parts = 1 + rng.Below(3) + (rng.Chance(20) ? 1 : 0);
  for (uint32_t i = 0; i < parts; ++i) word += kSyllables[rng.Below(sizeof(kSyllables) / sizeof(kSyllables[0]))];
  return word;
}

std::vector<std::string> MakeVocabulary(Random& rng, size_t count) {
  std::vector<std::string> words = {"der", "die", "und", "the", "of", "and", "in", "to", "das", "ist",
                                    "nicht", "mit", "is", "for", "von", "auf", "that", "sich", "was", "den"};
  while (words.size() < count) words.push_back(MakeWord(rng));
  return words;
}

std::string Capitalised(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

std::string CamelName(Random& rng) {
  std::string name;
  const uint32_t parts = 2 + rng.Below(3);
  for (uint32_t i = 0; i < parts; ++i) name += Capitalised(kSyllables[rng.Below(sizeof(kSyllables) / sizeof(kSyllables[0]))]);
  return name;
}

constexpr uint32_t kImageBase = 0x00400000;

void WriteHeaders(ByteWriter& w) {
  w.Bytes({'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xB8});
  while (w.Size() < 0x3C) w.U8(0);
  w.U32(0x80);
  w.Bytes({0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21});
  w.Ascii("This program cannot be run in DOS mode.\r\r\n$");
  while (w.Size() < 0x80) w.U8(0);
  w.Ascii(std::string("PE\0\0", 4));
  w.Bytes({0x4C, 0x01, 0x05, 0x00});  // i386, five sections
  w.U32(0x5F3A1C00);
  w.U32(0);
  w.U32(0);
  w.Bytes({0xE0, 0x00, 0x0F, 0x01});
  w.Bytes({0x0B, 0x01, 0x0E, 0x00});
  for (int i = 0; i < 54; ++i) w.U32(i % 7 == 0 ? 0x1000u * static_cast<uint32_t>(i) : 0u);
  const char* names[] = {".text", ".rdata", ".data", ".rsrc", ".reloc"};
  for (const char* n : names) {
    std::string s(n);
    s.resize(8, '\0');
    w.Ascii(s);
    for (int i = 0; i < 8; ++i) w.U32(i == 6 ? 0x60000020u : 0u);
  }
  w.PadTo(0x400, 0);
}

// Functions made of common 32-bit instruction patterns.
void WriteCode(ByteWriter& w, Random& rng, size_t end, const std::vector<uint32_t>& imports,
               const std::vector<uint32_t>& strings) {
  std::vector<uint32_t> functions;
  const unsigned frameSlots[] = {0x08, 0x0C, 0x10, 0x14, 0x18, 0xF8, 0xFC, 0xF4, 0xF0, 0xEC};
  auto slot = [&] { return frameSlots[rng.Skewed(10)]; };
  while (w.Size() < end) {
    functions.push_back(kImageBase + static_cast<uint32_t>(w.Size()));
    w.Bytes({0x55, 0x8B, 0xEC});
    if (rng.Chance(70)) w.Bytes({0x83, 0xEC, 4u * (1 + rng.Below(16))});
    w.Bytes({0x53, 0x56, 0x57});
    const uint32_t statements = 4 + rng.Below(40);
    for (uint32_t i = 0; i < statements && w.Size() < end; ++i) {
      switch (rng.Skewed(14)) {
        case 0: w.Bytes({0x8B, 0x45, slot()}); break;
        case 1: w.Bytes({0x89, 0x45, slot()}); break;
        case 2: {
          const uint32_t target = functions[rng.Below(static_cast<uint32_t>(functions.size()))];
          w.U8(0xE8);
          w.U32(target - (kImageBase + static_cast<uint32_t>(w.Size()) + 4));
          break;
        }
        case 3: w.Bytes({0x8B, 0x4D, slot()}); break;
        case 4: w.Bytes({0x85, 0xC0, 0x74, 2 + rng.Below(60)}); break;
        case 5: w.Bytes({0xFF, 0x15}); w.U32(imports[rng.Skewed(static_cast<uint32_t>(imports.size()))]); break;
        case 6: w.U8(0x68); w.U32(strings[rng.Below(static_cast<uint32_t>(strings.size()))]); break;
        case 7: w.Bytes({0x6A, rng.Chance(60) ? 0u : rng.Below(16)}); break;
        case 8: w.Bytes({0x33, 0xC0}); break;
        case 9: w.Bytes({0x83, 0xC4, 4u * (1 + rng.Below(6))}); break;
        case 10: w.Bytes({0x8D, 0x45, slot()}); break;
        case 11: w.Bytes({0xC7, 0x45, slot()}); w.U32(rng.Chance(50) ? 0u : rng.Below(256)); break;
        case 12: w.Bytes({0x8B, 0x55, slot(), 0x8B, 0x02}); break;
        default: w.Bytes({0xEB, rng.Below(128)}); break;
      }
    }
    w.Bytes({0x5F, 0x5E, 0x5B, 0x8B, 0xE5, 0x5D});
    if (rng.Chance(40)) w.Bytes({0xC2, 4u * (1 + rng.Below(4)), 0x00});
    else w.U8(0xC3);
    w.PadTo(16, 0xCC);
  }
}

}  // namespace

std::vector<uint8_t> MakeProgramImage(size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size + 65536);
  ByteWriter w(out);
  Random rng(0x5EED0001);

  std::vector<uint32_t> imports;
  for (uint32_t i = 0; i < 300; ++i) imports.push_back(kImageBase + 0x200000 + 4 * i);
  std::vector<uint32_t> strings;
  for (uint32_t i = 0; i < 2000; ++i) strings.push_back(kImageBase + 0x210000 + 24 * i + 4 * rng.Below(4));

  WriteHeaders(w);
  WriteCode(w, rng, size * 55 / 100, imports, strings);
  w.PadTo(0x200, 0);

  // Read-only data: import names, tables of addresses, floating-point tables.
  const size_t rdataEnd = size * 72 / 100;
  while (w.Size() < rdataEnd) {
    switch (rng.Below(4)) {
      case 0:
        for (int i = 0; i < 40; ++i) {
          w.U16(rng.Below(900));
          w.Ascii(CamelName(rng));
          w.U8(0);
          w.PadTo(2, 0);
        }
        break;
      case 1: {
        uint32_t address = kImageBase + 0x1000 + 16 * rng.Below(0x8000);
        for (int i = 0; i < 64; ++i) {
          w.U32(address);
          address += 16 * (1 + rng.Skewed(40));
        }
        break;
      }
      case 2:
        for (int i = 0; i < 32; ++i) {
          const double v = std::sin(0.01 * i * (1 + rng.Below(8)));
          uint64_t bits;
          static_assert(sizeof bits == sizeof v, "double is 64 bits");
          std::memcpy(&bits, &v, sizeof bits);
          w.U32(static_cast<uint32_t>(bits));
          w.U32(static_cast<uint32_t>(bits >> 32));
        }
        break;
      default:
        for (int i = 0; i < 16; ++i) w.U32(rng.Chance(30) ? 0 : rng.Below(1 << 16));
        break;
    }
  }
  w.PadTo(0x200, 0);

  // Data: mostly zero-initialised, a few constants, then messages.
  const size_t zerosEnd = size * 80 / 100;
  while (w.Size() < zerosEnd) {
    if (rng.Chance(10)) w.U32(rng.Below(1 << 20));
    else w.U32(0);
  }
  Random textRng(0x5EED0002);
  const std::vector<std::string> vocabulary = MakeVocabulary(textRng, 800);
  const size_t stringsEnd = size * 88 / 100;
  while (w.Size() < stringsEnd) {
    std::string message = Capitalised(vocabulary[textRng.Skewed(800)]);
    const uint32_t words = 2 + textRng.Below(8);
    for (uint32_t i = 0; i < words; ++i) message += " " + vocabulary[textRng.Skewed(800)];
    message += textRng.Chance(30) ? " %s." : ".";
    if (textRng.Chance(50)) w.Ascii(message), w.U8(0);
    else w.Utf16(message), w.U16(0);
    w.PadTo(4, 0);
  }
  w.PadTo(0x1000, 0);

  // Resources: small palette bitmaps with repeating rows, and one packed blob.
  while (w.Size() < size * 97 / 100) {
    const uint32_t width = 16u << rng.Below(3);
    for (uint32_t y = 0; y < width; ++y) {
      const uint32_t band = (y / 4) % 5;
      for (uint32_t x = 0; x < width; ++x) w.U8(band * 16 + ((x + y) % 8 < 5 ? 1 : 2) + (rng.Chance(3) ? 3 : 0));
    }
    w.PadTo(16, 0);
  }
  while (w.Size() < size) w.U8(static_cast<unsigned>(rng.Next()));
  out.resize(size);
  return out;
}

std::vector<uint8_t> MakeText(size_t size) {
  Random rng(0x5EED0003);
  const std::vector<std::string> vocabulary = MakeVocabulary(rng, 6000);
  std::string text;
  text.reserve(size + 256);
  std::string line;
  auto endLine = [&] {
    text += line;
    text += "\r\n";
    line.clear();
  };
  while (text.size() < size) {
    const uint32_t sentences = 2 + rng.Below(7);
    for (uint32_t s = 0; s < sentences; ++s) {
      const uint32_t words = 4 + rng.Below(16);
      for (uint32_t i = 0; i < words; ++i) {
        std::string word = vocabulary[rng.Skewed(6000)];
        if (i == 0 || rng.Chance(15)) word = Capitalised(word);
        if (i + 1 == words) word += rng.Chance(85) ? "." : (rng.Chance(50) ? "?" : "!");
        else if (rng.Chance(8)) word += ",";
        if (!line.empty() && line.size() + 1 + word.size() > 72) endLine();
        if (!line.empty()) line += ' ';
        line += word;
      }
    }
    endLine();
    text += "\r\n";
  }
  text.resize(size);
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace hzlbench
