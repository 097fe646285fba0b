#include "second_stage.h"

#include <gtest/gtest.h>

#include "fake_system_services.h"
#include "file_expander.h"
#include "lzh_exceptions.h"
#include "shell_errors.h"
#include "staging_folder.h"

namespace {

const std::string kFolder = "C:\\Temp\\Inst-Setup_Fennimor";
const std::string kCompressed = kFolder + "\\Setup.ex_";
const std::string kExpanded = kFolder + "\\Setup.exe";

class SecondStageTest : public ::testing::Test {
 protected:
  SecondStageTest() {
    StagingFolder = kFolder;
    system.folders.insert(kFolder);
    system.files[kCompressed] = EmptyCompressedFile();
  }
  FakeSystemServices system;
};

TEST_F(SecondStageTest, ExpandsThenLaunchesWithTheSixArguments) {
  RunSecondStage(system);
  EXPECT_EQ(system.CallNames(), (std::vector<std::string>{"GetFileAttributesA", "ExpandFile", "ShellExecuteA"}));
  EXPECT_EQ(system.calls[0].args, (std::vector<std::string>{kExpanded}));
  EXPECT_EQ(system.calls[1].args, (std::vector<std::string>{kCompressed, kExpanded}));
  EXPECT_EQ(ExpanderInputName, kCompressed);
  EXPECT_EQ(ExpanderOutputName, kExpanded);
  EXPECT_EQ(LaunchPath, kExpanded);
  EXPECT_TRUE(system.files.count(kExpanded)) << "Setup.exe exists before the launch";

  ASSERT_EQ(system.launches.size(), 1u);
  const FakeLaunch& launch = system.launches[0];
  EXPECT_EQ(launch.owner, nullptr);
  EXPECT_EQ(launch.verb, "open");
  EXPECT_EQ(launch.file, kExpanded);
  ASSERT_NE(launch.parameters, nullptr) << "parameters must be an empty string, not null";
  EXPECT_EQ(launch.parameterText, "");
  EXPECT_EQ(launch.directory, kFolder);
  EXPECT_NE(launch.directory.back(), '\\');
  EXPECT_EQ(launch.showCommand, 5);
}

TEST_F(SecondStageTest, AFailedExpansionRaisesTheExpandersExceptionAndLaunchesNothing) {
  struct Case {
    const char* name;
    std::optional<std::string> compressed;  // nullopt: no Setup.ex_
    std::string message;
  };
  const Case cases[] = {
      {"not compressed", std::string("MZ plain executable"),
       "Lzrw1 : " + kCompressed + " : NOT A COMPRESSED FILE !"},
      {"missing", std::nullopt, "Lzrw1 : Inputfile " + kCompressed + " not found !"},
  };
  for (const Case& c : cases) {
    FakeSystemServices fresh;
    StagingFolder = kFolder;
    fresh.folders.insert(kFolder);
    if (c.compressed) fresh.files[kCompressed] = *c.compressed;
    try {
      RunSecondStage(fresh);
      ADD_FAILURE() << "no exception: " << c.name;
    } catch (const ELzrw1Exception& e) {
      EXPECT_EQ(e.Message(), c.message) << c.name;
    }
    EXPECT_TRUE(fresh.launches.empty()) << c.name;
    EXPECT_FALSE(fresh.files.count(kExpanded)) << c.name;
  }
}

TEST_F(SecondStageTest, ARefusedLaunchRaisesNamingTheFileAndTheReason) {
  struct Case {
    std::intptr_t result;
    std::uint32_t systemError;
    std::string systemText;
    std::string reason;
  };
  const Case cases[] = {
      {2, 2, "Das System kann die angegebene Datei nicht finden.\r\n",
       "Das System kann die angegebene Datei nicht finden."},
      {5, 5, "Zugriff verweigert\r\n", "Zugriff verweigert"},
      {0, 8, "Nicht genug Speicher.", "Nicht genug Speicher."},
      {31, 1155, "Keine Anwendung zugeordnet. \r\n", "Keine Anwendung zugeordnet."},
      {32, 1157, "", "Systemfehler 1157"},
      {11, 11, "", "Systemfehler 11"},
  };
  for (const Case& c : cases) {
    FakeSystemServices fresh;
    StagingFolder = kFolder;
    fresh.folders.insert(kFolder);
    fresh.files[kCompressed] = EmptyCompressedFile();
    fresh.shellResult = c.result;
    fresh.errorTexts[c.systemError] = c.systemText;
    try {
      RunSecondStage(fresh);
      ADD_FAILURE() << "no exception for " << c.result;
    } catch (const ELaunchError& e) {
      EXPECT_STREQ(e.ClassName(), "ELaunchError");
      EXPECT_EQ(e.Message(), "Kann Datei " + kExpanded + " nicht starten: " + c.reason) << c.result;
    }
    EXPECT_EQ(fresh.CallsNamed("FormatMessageA"),
              (std::vector<FakeCall>{{"FormatMessageA", {std::to_string(c.systemError)}}}));
  }
}

TEST_F(SecondStageTest, AnyResultAbove32IsASuccess) {
  for (std::intptr_t result : {33, 42, 0x7FFF0000}) {
    FakeSystemServices fresh;
    StagingFolder = kFolder;
    fresh.folders.insert(kFolder);
    fresh.files[kCompressed] = EmptyCompressedFile();
    fresh.shellResult = result;
    EXPECT_NO_THROW(RunSecondStage(fresh)) << result;
    EXPECT_TRUE(fresh.CallsNamed("FormatMessageA").empty());
  }
}

TEST(ShellResultToSystemError, MapsTheShellsOwnNumbers) {
  struct Case {
    std::intptr_t shellResult;
    std::uint32_t systemError;
  };
  const Case cases[] = {
      {0, 8},     {2, 2},     {3, 3},     {5, 5},     {8, 8},     {11, 11},
      {26, 32},   {27, 1155}, {28, 1156}, {29, 1156}, {30, 1156}, {31, 1155}, {32, 1157},
  };
  for (const Case& c : cases) EXPECT_EQ(ShellResultToSystemError(c.shellResult), c.systemError) << c.shellResult;
}

}  // namespace
