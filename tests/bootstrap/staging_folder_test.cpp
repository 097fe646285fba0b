#include "staging_folder.h"

#include <gtest/gtest.h>

#include "fake_system_services.h"

namespace {

TEST(GetTempDirectory, AsksOnceWithACapacityOf255) {
  FakeSystemServices system;
  system.tempPath = "C:\\Users\\u\\AppData\\Local\\Temp\\";
  EXPECT_EQ(GetTempDirectory(system), "C:\\Users\\u\\AppData\\Local\\Temp\\");
  const std::vector<FakeCall> expected = {{"GetTempPathA", {"255"}}};
  EXPECT_EQ(system.calls, expected);
}

TEST(GetTempDirectory, TakesTheLongestPathThatFits) {
  FakeSystemServices system;
  system.tempPath = "C:\\" + std::string(250, 'd') + "\\";  // 254 characters
  EXPECT_EQ(GetTempDirectory(system), system.tempPath);
}

TEST(GetTempDirectory, RaisesWhenTheQueryDeliversNoPath) {
  struct Case {
    std::string tempPath;
    std::optional<std::uint32_t> result;
    std::string message;
  };
  const Case cases[] = {
      {"C:\\Temp\\", 0u, "Kann TEMP-Verzeichnis nicht ermitteln"},
      {"C:\\Temp\\", 256u, "Pfad des TEMP-Verzeichnisses zu lang (256 Zeichen, erlaubt sind 255)"},
      {"C:\\Temp\\", 4000u, "Pfad des TEMP-Verzeichnisses zu lang (4000 Zeichen, erlaubt sind 255)"},
      // A path of 255 characters needs 256 bytes: the real query reports that.
      {"C:\\" + std::string(251, 'd') + "\\", std::nullopt,
       "Pfad des TEMP-Verzeichnisses zu lang (256 Zeichen, erlaubt sind 255)"},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    system.tempPath = c.tempPath;
    system.tempPathResult = c.result;
    try {
      GetTempDirectory(system);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const ETempDirectoryError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_STREQ(e.ClassName(), "ETempDirectoryError");
    }
    EXPECT_EQ(system.CallsNamed("GetTempPathA").size(), 1u);
  }
}

TEST(FolderExists, HoldsOnlyForTheDirectoryBit) {
  struct Case {
    std::uint32_t attributes;
    bool expected;
  };
  const Case cases[] = {
      {0x10, true},        {0x11, true},  {0x30, true}, {0x410, true},
      {0x20, false},       {0x80, false}, {0x0, false}, {kInvalidFileAttributes, false},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    system.attributeOverrides["C:\\X"] = c.attributes;
    EXPECT_EQ(FolderExists(system, "C:\\X"), c.expected) << std::hex << c.attributes;
    const std::vector<FakeCall> expected = {{"GetFileAttributesA", {"C:\\X"}}};
    EXPECT_EQ(system.calls, expected);
  }
}

TEST(CreateFolderChain, CreatesTheMissingFoldersOutermostFirst) {
  struct Case {
    const char* name;
    std::set<std::string> existing;
    std::string folder;
    std::vector<std::string> created;
  };
  const Case cases[] = {
      {"only the drive exists", {"C:"}, "C:\\A\\B\\C", {"C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}},
      {"trailing backslash", {"C:"}, "C:\\A\\B\\", {"C:\\A", "C:\\A\\B"}},
      {"parent exists", {"C:", "C:\\Temp"}, "C:\\Temp\\Inst-Setup_Fennimor", {"C:\\Temp\\Inst-Setup_Fennimor"}},
      {"folder exists", {"C:", "C:\\A", "C:\\A\\B"}, "C:\\A\\B", {}},
      {"drive root", {}, "C:\\", {}},
      {"drive", {}, "C:", {}},
      {"empty", {}, "", {}},
      {"lone backslash", {}, "\\", {}},
      {"two trailing backslashes remove one only", {"C:", "C:\\A"}, "C:\\A\\\\", {}},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    system.folders = c.existing;
    CreateFolderChain(system, c.folder);
    EXPECT_EQ(system.directoriesCreated, c.created) << c.name;
    EXPECT_EQ(system.CallsNamed("CreateDirectoryA").size(), c.created.size()) << c.name;
  }
}

TEST(CreateFolderChain, TriesEveryLevelBelowOneThatCannotBeCreated) {
  // Drive Q: is missing: every level fails, silently, outermost first.
  FakeSystemServices system;
  CreateFolderChain(system, "Q:\\A\\B");
  const std::vector<FakeCall> expected = {
      {"GetFileAttributesA", {"Q:\\A\\B"}}, {"GetFileAttributesA", {"Q:\\A"}},
      {"CreateDirectoryA", {"Q:\\A"}},      {"CreateDirectoryA", {"Q:\\A\\B"}},
  };
  EXPECT_EQ(system.calls, expected);
  EXPECT_TRUE(system.directoriesCreated.empty());
}

TEST(CreateFolderChain, LeavesAFileInPlaceOfTheFolderAloneAndSaysNothing) {
  FakeSystemServices system;
  system.files["C:\\Temp\\Inst-Setup_Fennimor"] = "a file";
  EXPECT_NO_THROW(CreateFolderChain(system, "C:\\Temp\\Inst-Setup_Fennimor"));
  EXPECT_TRUE(system.directoriesCreated.empty());
  EXPECT_EQ(system.files.at("C:\\Temp\\Inst-Setup_Fennimor"), "a file");
}

TEST(CreateFolderChain, StopsAtAPathThatIsItsOwnParent) {
  // "AB:" ends in a colon, so its parent is itself; the walk must end.
  FakeSystemServices system;
  CreateFolderChain(system, "AB:");
  const std::vector<FakeCall> expected = {{"GetFileAttributesA", {"AB:"}}, {"CreateDirectoryA", {"AB:"}}};
  EXPECT_EQ(system.calls, expected);
}

TEST(StagedPath, IsTheStagingFolderOneBackslashAndTheName) {
  StagingFolder = "C:\\Temp\\Inst-Setup_Fennimor";
  EXPECT_EQ(StagedPath("Setup.lst"), "C:\\Temp\\Inst-Setup_Fennimor\\Setup.lst");
  EXPECT_EQ(StagedPath("Setup.exe"), "C:\\Temp\\Inst-Setup_Fennimor\\Setup.exe");
  EXPECT_EQ(StagingFolder, "C:\\Temp\\Inst-Setup_Fennimor");  // formed afresh, never extended
}

}  // namespace
