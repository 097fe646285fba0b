#include "message_format.h"

namespace {

constexpr std::size_t kAddressDigits = 8;

std::string DecimalDigits(std::uint64_t value) { return std::to_string(value); }

}  // namespace

std::string HexDigits(std::uint64_t value, std::size_t minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string reversed;
  do {
    reversed.push_back(kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (reversed.size() < minDigits) reversed.push_back('0');
  return std::string(reversed.rbegin(), reversed.rend());
}

std::string FillFormat(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string result;
  result.reserve(format.size() + 64);
  const FormatArg* next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      result.push_back(c);
      continue;
    }
    const char directive = format[i + 1];
    if (directive == '%') {
      result.push_back('%');
      ++i;
      continue;
    }
    if (directive != 's' && directive != 'p' && directive != 'X' && directive != 'u') {
      result.push_back(c);
      continue;
    }
    ++i;
    if (next == args.end()) continue;
    const FormatArg& arg = *next++;
    if (!arg.IsNumber()) {
      result.append(arg.Text());
    } else if (directive == 'p') {
      result += HexDigits(arg.Value(), kAddressDigits);
    } else if (directive == 'X') {
      result += HexDigits(arg.Value(), 1);
    } else {
      result += DecimalDigits(arg.Value());
    }
  }
  return result;
}
