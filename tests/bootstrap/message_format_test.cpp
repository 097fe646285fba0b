#include "message_format.h"

#include <gtest/gtest.h>

namespace {

TEST(FillFormat, ReplacesEachDirectiveWithItsArgument) {
  struct Case {
    const char* format;
    std::string expected;
  };
  const Case cases[] = {
      {"Ressource %s nicht gefunden", "Ressource Test7 nicht gefunden"},
      {"%s", "Test7"},
      {"vorne %s hinten %s", "vorne Test7 hinten "},  // no argument left: nothing
      {"100%% %s", "100% Test7"},
      {"%d bleibt %s", "%d bleibt Test7"},  // unknown directive copied as it is
      {"Ende %", "Ende %"},
      {"ohne Platzhalter", "ohne Platzhalter"},
  };
  for (const Case& c : cases) EXPECT_EQ(FillFormat(c.format, {"Test7"}), c.expected) << c.format;
}

TEST(FillFormat, RendersNumbersByDirective) {
  struct Case {
    const char* format;
    std::uint64_t value;
    std::string expected;
  };
  const Case cases[] = {
      {"bei %p.", 0x42E44D, "bei 0042E44D."},
      {"bei %p.", 0, "bei 00000000."},
      {"bei %p.", 0xFFFFFFFF, "bei FFFFFFFF."},
      {"bei %p.", 0x1FFFFFFFFull, "bei 1FFFFFFFF."},
      {"Code %X", 0xC0000005, "Code C0000005"},
      {"Code %X", 0xA, "Code A"},
      {"%u Zeichen", 256, "256 Zeichen"},
      {"%s Zeichen", 256, "256 Zeichen"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillFormat(c.format, {FormatArg::Number(c.value)}), c.expected) << c.format;
  }
}

TEST(FillFormat, TextArgumentsStayVerbatimWhateverTheDirective) {
  EXPECT_EQ(FillFormat("%s|%p|%s", {"C:\\Temp\\%s", "x", "%p"}), "C:\\Temp\\%s|x|%p");
}

TEST(HexDigits, PadsToTheMinimumOnly) {
  EXPECT_EQ(HexDigits(0xABC, 8), "00000ABC");
  EXPECT_EQ(HexDigits(0x123456789, 8), "123456789");
  EXPECT_EQ(HexDigits(0, 1), "0");
}

}  // namespace
