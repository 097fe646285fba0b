#pragma once
// Fills the placeholders of a message text. The texts come from our own code
// and string table, never from the user, so a small fixed set of directives
// is enough:
//   %s  the next argument as text (a number as decimal digits)
//   %p  the next argument as an address: upper-case hexadecimal, at least
//       eight digits
//   %X  the next argument as upper-case hexadecimal, no padding
//   %u  the next argument as decimal digits
//   %%  a single percent sign
// A directive without an argument left stands for nothing; any other
// character after % is copied as it is, together with the %.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// One argument: a text, or a number for the numeric directives.
class FormatArg {
 public:
  FormatArg(std::string_view text) : text_(text), isNumber_(false) {}  // NOLINT: implicit by design
  FormatArg(const std::string& text) : text_(text), isNumber_(false) {}  // NOLINT
  FormatArg(const char* text) : text_(text), isNumber_(false) {}  // NOLINT
  static FormatArg Number(std::uint64_t value) { return FormatArg(value); }

  bool IsNumber() const { return isNumber_; }
  std::string_view Text() const { return text_; }
  std::uint64_t Value() const { return value_; }

 private:
  explicit FormatArg(std::uint64_t value) : isNumber_(true), value_(value) {}

  std::string_view text_;
  bool isNumber_;
  std::uint64_t value_ = 0;
};

// The format with its directives replaced by the arguments, in order.
std::string FillFormat(std::string_view format, std::initializer_list<FormatArg> args);

// Upper-case hexadecimal digits of value, padded with zeros to minDigits.
std::string HexDigits(std::uint64_t value, std::size_t minDigits);
