#include "resource_extraction.h"

#include <gtest/gtest.h>

#include "fake_system_services.h"
#include "stream_errors.h"

namespace {

const std::string kPath = "C:\\Temp\\Inst-Setup_Fennimor\\Liesmich.txt";

class ExtractResourceToFileTest : public ::testing::Test {
 protected:
  ExtractResourceToFileTest() { system.folders.insert("C:\\Temp\\Inst-Setup_Fennimor"); }
  FakeSystemServices system;
};

TEST_F(ExtractResourceToFileTest, WritesTheWholeResourceInOneCallStraightFromTheImage) {
  system.resources["TEST3"] = std::string("Zeile 1\r\nZeile 2\0\xFF", 18);
  EXPECT_TRUE(ExtractResourceToFile(system, "FILE", "Test3", kPath));
  EXPECT_EQ(system.files.at(kPath), system.resources.at("TEST3"));
  ASSERT_EQ(system.writes.size(), 1u);
  EXPECT_EQ(system.writes[0].data, system.ResourceMemory("TEST3"));
  EXPECT_EQ(system.writes[0].count, 18u);
  EXPECT_EQ(system.CallNames(), (std::vector<std::string>{"FindResourceA", "LoadResource", "LockResource",
                                                          "SizeofResource", "GetFileAttributesA", "CreateFileA",
                                                          "WriteFile", "CloseHandle"}));
  EXPECT_EQ(system.CallsNamed("CreateFileA")[0].args, std::vector<std::string>{kPath});
}

TEST_F(ExtractResourceToFileTest, AnEmptyResourceGivesAnEmptyFileAndNoWrite) {
  system.resources["TEST3"] = "";
  system.files[kPath] = "left by an earlier run";
  EXPECT_TRUE(ExtractResourceToFile(system, "FILE", "Test3", kPath));
  EXPECT_EQ(system.files.at(kPath), "");
  EXPECT_TRUE(system.writes.empty());
  EXPECT_EQ(system.openFiles, 0);
}

TEST_F(ExtractResourceToFileTest, AnExistingFileIsTruncatedAndRewritten) {
  system.resources["TEST3"] = "new";
  system.files[kPath] = "a much longer old content";
  ExtractResourceToFile(system, "FILE", "Test3", kPath);
  EXPECT_EQ(system.files.at(kPath), "new");
}

TEST(ExtractResourceToFile, FailuresRaiseAndLeaveTheFileAsTheyFoundIt) {
  struct Case {
    const char* name;
    void (*arrange)(FakeSystemServices&);
    const char* className;
    std::string message;
    std::optional<std::string> fileAfter;  // nullopt: no file
  };
  const Case cases[] = {
      {"missing resource", [](FakeSystemServices& s) { s.resources.erase("TEST3"); }, "EResNotFound",
       "Ressource Test3 nicht gefunden", std::nullopt},
      {"missing resource keeps an old file",
       [](FakeSystemServices& s) {
         s.resources.erase("TEST3");
         s.files[kPath] = "old";
       },
       "EResNotFound", "Ressource Test3 nicht gefunden", "old"},
      {"file locked", [](FakeSystemServices& s) { s.lockedFiles.insert(kPath); }, "EFCreateError",
       "Kann Datei " + kPath + " nicht erstellen", std::nullopt},
      {"folder missing", [](FakeSystemServices& s) { s.folders.erase("C:\\Temp\\Inst-Setup_Fennimor"); },
       "EFCreateError", "Kann Datei " + kPath + " nicht erstellen", std::nullopt},
      {"short write", [](FakeSystemServices& s) { s.writeLimits[kPath] = 4; }, "EWriteError",
       "Stream-Write-Fehler ", "0123"},
      {"failed write", [](FakeSystemServices& s) { s.failingWrites.insert(kPath); }, "EWriteError",
       "Stream-Write-Fehler ", ""},
  };
  for (const Case& c : cases) {
    FakeSystemServices fresh;
    fresh.folders.insert("C:\\Temp\\Inst-Setup_Fennimor");
    fresh.resources["TEST3"] = "0123456789";
    c.arrange(fresh);
    try {
      ExtractResourceToFile(fresh, "FILE", "Test3", kPath);
      ADD_FAILURE() << "no exception: " << c.name;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), c.className) << c.name;
      EXPECT_EQ(e.Message(), c.message) << c.name;
    }
    EXPECT_EQ(fresh.openFiles, 0) << c.name;
    if (c.fileAfter) {
      ASSERT_TRUE(fresh.files.count(kPath)) << c.name;
      EXPECT_EQ(fresh.files.at(kPath), *c.fileAfter) << c.name;
    } else {
      EXPECT_FALSE(fresh.files.count(kPath)) << c.name;
    }
  }
}

}  // namespace
