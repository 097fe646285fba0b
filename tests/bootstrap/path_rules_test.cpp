#include "path_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(WithTrailingBackslash, AddsOneBackslashUnlessThereIsOne) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"", ""},
      {"C:\\A\\", "C:\\A\\"},
      {"C:\\A", "C:\\A\\"},
      {"C:", "C:\\"},
      {"\\", "\\"},
      {"C:\\A\\\\", "C:\\A\\\\"},
      {"C:\\Temp\\Inst-Setup_Fennimor", "C:\\Temp\\Inst-Setup_Fennimor\\"},
      {"C:/A", "C:/A\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithTrailingBackslash(c.path), c.expected) << c.path;
}

TEST(ParentFolderOf, KeepsUpToTheLastBackslashOrColon) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\Temp\\Inst-Setup_Fennimor", "C:\\Temp\\"},
      {"C:\\Temp", "C:\\"},
      {"C:x", "C:"},
      {"C:", "C:"},
      {"C:\\", "C:\\"},
      {"name", ""},
      {"", ""},
      {"\\\\server\\share", "\\\\server\\"},
      {"C:\\a:b", "C:\\a:"},
      {"C:/a/b", "C:"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParentFolderOf(c.path), c.expected) << c.path;
}

}  // namespace
