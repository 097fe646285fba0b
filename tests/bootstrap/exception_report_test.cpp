#include "exception_report.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <type_traits>

#include "report_strings.h"
#include "stream_errors.h"

namespace {

TEST(ReportModuleName, TakesThePartAfterTheLastBackslashCutTo63) {
  const std::string long70(70, 'x');
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Users\\u\\Downloads\\bootstrap.exe", "bootstrap.exe"},
      {"bootstrap.exe", "bootstrap.exe"},
      {"C:\\a\\b\\", ""},
      {"C:\\" + long70 + ".exe", std::string(63, 'x')},
      {"C:\\" + std::string(63, 'y'), std::string(63, 'y')},
      {"C:\\" + std::string(64, 'z'), std::string(63, 'z')},
      {"C:/forward/slashes.exe", "C:/forward/slashes.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReportModuleName(c.path), c.expected) << c.path;
}

TEST(ReportEndMark, IsAFullStopUnlessEmptyOrAlreadyThere) {
  struct Case {
    const char* message;
    const char* expected;
  };
  const Case cases[] = {
      {"Ressource Test7 nicht gefunden", "."},
      {"Stream-Write-Fehler ", "."},
      {"Das System kann die Datei nicht finden.", ""},
      {"", ""},
      {"Lzrw1 : x : NOT A COMPRESSED FILE !", "."},
      {".", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReportEndMark(c.message), c.expected) << c.message;
}

TEST(FormatExceptionReport, FillsTheFiveFieldsInOrder) {
  struct Case {
    ReportSubject subject;
    std::string modulePath;
    std::string expected;
  };
  const Case cases[] = {
      {{"EResNotFound", "Ressource Test7 nicht gefunden", 0x0040A1B2}, "C:\\Setup\\bootstrap.exe",
       "Exception EResNotFound im Modul bootstrap.exe bei 0040A1B2.\nRessource Test7 nicht gefunden."},
      {{"EWriteError", "Stream-Write-Fehler ", 0x401000}, "C:\\bootstrap.exe",
       "Exception EWriteError im Modul bootstrap.exe bei 00401000.\nStream-Write-Fehler ."},
      {{"ELaunchError", "Kann Datei X nicht starten: Zugriff verweigert.", 0x12}, "boot.exe",
       "Exception ELaunchError im Modul boot.exe bei 00000012.\nKann Datei X nicht starten: Zugriff verweigert."},
      {{"std::runtime_error", "", 0x401000}, "C:\\b.exe",
       "Exception std::runtime_error im Modul b.exe bei 00401000.\n"},
      {{"EOutOfMemory", "Speicher reicht nicht aus", 0xFFFFFFF0}, "C:\\" + std::string(80, 'm'),
       "Exception EOutOfMemory im Modul " + std::string(63, 'm') +
           " bei FFFFFFF0.\nSpeicher reicht nicht aus."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatExceptionReport(HZL_REPORT_FORMAT_TEXT, c.modulePath, c.subject), c.expected);
  }
}

TEST(ReportStrings, AreTheIdsAndTextsTheStringTableCarries) {
  EXPECT_EQ(HZL_REPORT_FORMAT_ID, 65438);
  EXPECT_EQ(HZL_REPORT_TITLE_ID, 65439);
  EXPECT_STREQ(HZL_REPORT_FORMAT_TEXT, "Exception %s im Modul %s bei %p.\n%s%s");
  EXPECT_STREQ(HZL_REPORT_TITLE_TEXT, "Anwendungsfehler");
}

template <typename E>
std::exception_ptr Caught(E e) {
  try {
    throw e;
  } catch (...) {
    return std::current_exception();
  }
}

TEST(DescribeException, NamesTheClassAndTakesTheMessage) {
  struct Case {
    std::exception_ptr caught;
    const char* className;
    const char* message;
  };
  const Case cases[] = {
      {Caught(ResourceNotFoundError("Test7")), "EResNotFound", "Ressource Test7 nicht gefunden"},
      {Caught(FileCreateError("C:\\T\\a.txt")), "EFCreateError", "Kann Datei C:\\T\\a.txt nicht erstellen"},
      {Caught(StreamWriteError()), "EWriteError", "Stream-Write-Fehler "},
      {Caught(std::bad_alloc()), "EOutOfMemory", "Speicher reicht nicht aus"},
      {Caught(std::runtime_error("not ours")), "std::runtime_error", ""},
      {Caught(42), "int", ""},
  };
  for (const Case& c : cases) {
    const ReportSubject subject = DescribeException(c.caught, 0x401234);
    EXPECT_EQ(subject.className, c.className);
    EXPECT_EQ(subject.message, c.message) << c.className;
    EXPECT_EQ(subject.address, 0x401234u);
  }
}

TEST(DescribeException, ACaughtExceptionIsSeenThroughItsBaseClasses) {
  // The report is reached through a catch of the root class; the class name
  // must still be the most derived one.
  try {
    throw StreamWriteError();
  } catch (const EStreamError&) {
    EXPECT_EQ(DescribeException(std::current_exception(), 0).className, "EWriteError");
  }
}

// The report names the most derived class; the bases decide what a handler
// for a wider class catches.
static_assert(std::is_base_of_v<EFilerError, EWriteError> && std::is_base_of_v<EStreamError, EFilerError> &&
              std::is_base_of_v<Exception, EStreamError>);
static_assert(std::is_base_of_v<EStreamError, EFCreateError> && !std::is_base_of_v<EFilerError, EFCreateError>);
static_assert(std::is_base_of_v<Exception, EResNotFound> && !std::is_base_of_v<EStreamError, EResNotFound>);

}  // namespace
