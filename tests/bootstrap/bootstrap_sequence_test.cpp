#include "bootstrap_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "fake_system_services.h"
#include "payload_table.h"
#include "second_stage.h"
#include "staging_folder.h"

namespace {

const std::string kFolder = "C:\\Temp\\Inst-Setup_Fennimor";

std::string Staged(const std::string& name) { return kFolder + "\\" + name; }

// Calls that show the sequence's steps, in order, without the detail of each.
std::vector<std::string> Steps(const FakeSystemServices& system) {
  std::vector<std::string> steps;
  for (const FakeCall& call : system.calls) {
    if (call.name == "FindResourceA") {
      steps.push_back("payload " + call.args[0]);
    } else if (call.name != "LoadResource" && call.name != "LockResource" && call.name != "SizeofResource" &&
               call.name != "CreateFileA" && call.name != "WriteFile" && call.name != "CloseHandle" &&
               call.name != "GetFileAttributesA") {
      steps.push_back(call.name);
    }
  }
  return steps;
}

class BootstrapSequenceTest : public ::testing::Test {
 protected:
  BootstrapSequenceTest() { InstallPayloadResources(system); }
  FakeSystemServices system;
};

TEST_F(BootstrapSequenceTest, ANormalRunTakesEveryStepInOrder) {
  RunBootstrap(system);
  std::vector<std::string> expected = {"InitializeApplication", "SetApplicationTitle", "GetTempPathA",
                                       "GetTokenInformation",   "CreateDirectoryA",    "OpenFolderInPlace",
                                       "GetFileInformationByHandle", "SetKernelObjectSecurity", "FindFirstFileA"};
  for (int row = 1; row <= 16; ++row) expected.push_back("payload Test" + std::to_string(row));
  expected.insert(expected.end(), {"ExpandFile", "ShellExecuteA", "RunApplication"});
  EXPECT_EQ(Steps(system), expected);

  EXPECT_EQ(system.CallsNamed("SetApplicationTitle")[0].args, std::vector<std::string>{"Setup_Fennimor"});
  EXPECT_EQ(system.CallsNamed("GetTempPathA"), (std::vector<FakeCall>{{"GetTempPathA", {"255"}}}));
  EXPECT_EQ(StagingFolder, kFolder);
  EXPECT_EQ(system.directoriesCreated, std::vector<std::string>{kFolder});
  EXPECT_EQ(system.openFiles, 0);
}

TEST_F(BootstrapSequenceTest, WritesTheSixteenRowsToTheirStagedPathsInOrder) {
  RunBootstrap(system);
  const std::vector<FakeCall> creates = system.CallsNamed("CreateFileA");
  ASSERT_EQ(creates.size(), kPayloadRowCount);
  ASSERT_EQ(system.writes.size(), kPayloadRowCount);
  for (std::size_t i = 0; i < kPayloadRowCount; ++i) {
    const PayloadRow& row = PayloadTable[i];
    const std::string path = Staged(row.stagedFileName);
    EXPECT_EQ(creates[i].args, std::vector<std::string>{path});
    EXPECT_EQ(system.writes[i].path, path);
    EXPECT_EQ(system.writes[i].data, system.ResourceMemory(row.resourceName));
    EXPECT_EQ(system.files.at(path), system.resources.at(UpperCase(row.resourceName)));
  }
  EXPECT_EQ(system.CallsNamed("FindResourceA")[14].args, (std::vector<std::string>{"Test15", "FILE"}));
}

TEST_F(BootstrapSequenceTest, ExpandsTheStagedSetupAndLaunchesIt) {
  RunBootstrap(system);
  EXPECT_EQ(system.CallsNamed("ExpandFile")[0].args,
            (std::vector<std::string>{Staged("Setup.ex_"), Staged("Setup.exe")}));
  EXPECT_TRUE(system.files.count(Staged("Setup.exe")));
  ASSERT_EQ(system.launches.size(), 1u);
  EXPECT_EQ(system.launches[0].file, Staged("Setup.exe"));
  EXPECT_EQ(system.launches[0].directory, kFolder);
}

TEST_F(BootstrapSequenceTest, AnExistingStagingFolderIsReusedWithOnlyTheFilesOfThisRun) {
  system.folders.insert(kFolder);
  system.files[Staged("other.txt")] = "left by someone";
  system.files[Staged("Setup.lst")] = "old list";
  system.files[Staged("Setup.exe")] = "MZ old second stage";
  RunBootstrap(system);
  EXPECT_TRUE(system.CallsNamed("CreateDirectoryA").empty());
  EXPECT_FALSE(system.files.count(Staged("other.txt")));
  EXPECT_EQ(system.files.at(Staged("Setup.lst")), "payload of Test16");
  EXPECT_EQ(system.files.at(Staged("Setup.exe")), "") << "the expansion of the empty Setup.ex_";
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(system.ListFolder(kFolder, entries));
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name);
  std::vector<std::string> expected = StagedFileNames();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(system.heldFolders, 0) << "the folder is let go when the run ends";
}

TEST_F(BootstrapSequenceTest, TheTemporaryDirectoryDecidesTheStagingFolder) {
  system.tempPath = "D:\\Users\\u\\AppData\\Local\\Temp\\";
  system.folders = {"D:", "D:\\Users", "D:\\Users\\u", "D:\\Users\\u\\AppData", "D:\\Users\\u\\AppData\\Local",
                    "D:\\Users\\u\\AppData\\Local\\Temp"};
  RunBootstrap(system);
  EXPECT_EQ(StagingFolder, "D:\\Users\\u\\AppData\\Local\\Temp\\Inst-Setup_Fennimor");
  EXPECT_EQ(system.launches.at(0).file, StagingFolder + "\\Setup.exe");
}

// What a failing run leaves: the exception, the files, the later steps.
struct FailureCase {
  const char* name;
  std::function<void(FakeSystemServices&)> arrange;
  const char* className;
  std::string message;
  std::size_t rowsWritten;  // payload rows complete on disk
  bool expanded;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class BootstrapFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BootstrapFailureTest, EndsTheRunWithTheExceptionAndSkipsTheRest) {
  const FailureCase& c = GetParam();
  FakeSystemServices system;
  InstallPayloadResources(system);
  c.arrange(system);
  try {
    RunBootstrap(system);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), c.className);
    EXPECT_EQ(e.Message(), c.message);
  }
  for (std::size_t i = 0; i < kPayloadRowCount; ++i) {
    const PayloadRow& row = PayloadTable[i];
    const auto file = system.files.find(Staged(row.stagedFileName));
    const bool complete = file != system.files.end() && file->second == system.resources[UpperCase(row.resourceName)];
    EXPECT_EQ(complete, i < c.rowsWritten) << row.stagedFileName;
  }
  EXPECT_EQ(system.CallsNamed("ExpandFile").size(), c.expanded ? 1u : 0u);
  EXPECT_TRUE(system.launches.empty());
  EXPECT_TRUE(system.CallsNamed("RunApplication").empty());
  EXPECT_EQ(system.openFiles, 0);
}

const FailureCase kFailures[] = {
    {"ResourceOfRow7Missing", [](FakeSystemServices& s) { s.resources.erase("TEST7"); }, "EResNotFound",
     "Ressource Test7 nicht gefunden", 6, false},
    {"ResourceOfRow1Unloadable", [](FakeSystemServices& s) { s.unloadableResources.insert("TEST1"); },
     "EResNotFound", "Ressource Test1 nicht gefunden", 0, false},
    {"FileInPlaceOfTheStagingFolder", [](FakeSystemServices& s) { s.files[kFolder] = "a file"; },
     "EFCreateError", "Kann Datei " + Staged("Fennimor.ex_") + " nicht erstellen", 0, false},
    {"TemporaryDirectoryOnAMissingDrive", [](FakeSystemServices& s) { s.tempPath = "Q:\\Temp\\"; },
     "EFCreateError", "Kann Datei Q:\\Temp\\Inst-Setup_Fennimor\\Fennimor.ex_ nicht erstellen", 0, false},
    {"StagedFileInUse", [](FakeSystemServices& s) { s.lockedFiles.insert(Staged("Vertrag.txt")); },
     "EFCreateError", "Kann Datei " + Staged("Vertrag.txt") + " nicht erstellen", 3, false},
    {"ShortWriteOfRow5", [](FakeSystemServices& s) { s.writeLimits[Staged("eztw32.DL_")] = 3; }, "EWriteError",
     "Stream-Write-Fehler ", 4, false},
    {"FailedWriteOfRow16", [](FakeSystemServices& s) { s.failingWrites.insert(Staged("Setup.lst")); },
     "EWriteError", "Stream-Write-Fehler ", 15, false},
    {"NoTemporaryDirectory", [](FakeSystemServices& s) { s.tempPathResult = 0u; }, "ETempDirectoryError",
     "Kann TEMP-Verzeichnis nicht ermitteln", 0, false},
    {"TemporaryDirectoryTooLong", [](FakeSystemServices& s) { s.tempPathResult = 300u; }, "ETempDirectoryError",
     "Pfad des TEMP-Verzeichnisses zu lang (300 Zeichen, erlaubt sind 255)", 0, false},
    {"SetupNotCompressed", [](FakeSystemServices& s) { s.resources["TEST15"] = "MZ plain executable"; }, "ELzrw1Exception",
     "Lzrw1 : " + Staged("Setup.ex_") + " : NOT A COMPRESSED FILE !", 16, true},
    {"SetupTruncatedInItsHead",
     [](FakeSystemServices& s) { s.resources["TEST15"] = "!HZL"; }, "ELzrw1Exception",
     "Lzrw1 : ERROR READING FROM " + Staged("Setup.ex_") + " !", 16, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, BootstrapFailureTest, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

TEST(BootstrapLaunchFailure, EndsTheRunBeforeTheRunStep) {
  FakeSystemServices system;
  InstallPayloadResources(system);
  system.shellResult = 2;
  system.errorTexts[2] = "Datei nicht gefunden.\r\n";
  try {
    RunBootstrap(system);
    FAIL() << "no exception";
  } catch (const ELaunchError& e) {
    EXPECT_EQ(e.Message(), "Kann Datei " + Staged("Setup.exe") + " nicht starten: Datei nicht gefunden.");
  }
  EXPECT_EQ(system.launches.size(), 1u);
  EXPECT_TRUE(system.CallsNamed("RunApplication").empty());
}

}  // namespace
