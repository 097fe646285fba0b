#include "staging_protection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "bootstrap_sequence.h"
#include "fake_system_services.h"
#include "payload_table.h"
#include "staging_folder.h"

namespace {

const std::string kFolder = "C:\\Temp\\Inst-Setup_Fennimor";
const std::string kUserSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kSddl = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;" + kUserSid +
                          ")(A;OICI;0x1200a9;;;OW)";

std::string Staged(const std::string& name) { return kFolder + "\\" + name; }

// Position of the first recorded call with this name; calls.size() if none.
std::size_t FirstCall(const FakeSystemServices& system, const std::string& name) {
  const auto it = std::find_if(system.calls.begin(), system.calls.end(),
                               [&](const FakeCall& call) { return call.name == name; });
  return static_cast<std::size_t>(it - system.calls.begin());
}

// A world with a Windows folder and a user's documents that the staging
// folder's links may point into.
void AddOutsideWorld(FakeSystemServices& system) {
  system.folders.insert({"C:\\Windows", "C:\\Windows\\System32", "C:\\Users", "C:\\Users\\u",
                         "C:\\Users\\u\\Documents"});
  system.files["C:\\Windows\\System32\\version.dll"] = "system version.dll";
  system.files["C:\\Windows\\win.ini"] = "[windows]";
  system.files["C:\\Users\\u\\Documents\\Brief.txt"] = "Lieber Hans";
}

// Everything outside the staging folder, to show it was not touched.
std::map<std::string, std::string> FilesOutside(const FakeSystemServices& system) {
  std::map<std::string, std::string> outside;
  for (const auto& [path, contents] : system.files) {
    if (path.rfind(kFolder + "\\", 0) != 0) outside[path] = contents;
  }
  return outside;
}

std::vector<std::string> NamesIn(FakeSystemServices& system, const std::string& folder) {
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(system.ListFolder(folder, entries));
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name);
  return names;
}

// ---------------------------------------------------------------------------
// The staging folder as a junction or a symbolic link.

struct LinkedFolderCase {
  const char* name;
  FakeLink link;
};

TEST(LinkedStagingFolder, IsRefusedBeforeAnythingIsWrittenAndReported) {
  const LinkedFolderCase cases[] = {
      {"junction into the system folder", {"C:\\Windows\\System32", true}},
      {"directory link into the user's documents", {"C:\\Users\\u\\Documents", true}},
      {"link to a folder that does not exist", {"C:\\Nirgendwo", true}},
      {"file link in place of the folder", {"C:\\Windows\\win.ini", false}},
  };
  for (const LinkedFolderCase& c : cases) {
    FakeSystemServices system;
    InstallPayloadResources(system);
    AddOutsideWorld(system);
    system.links[kFolder] = c.link;
    const auto before = system.files;
    const std::set<std::string> foldersBefore = system.folders;

    EXPECT_EQ(RunBootstrapProcess(system), kExitCodeAfterReport) << c.name;

    ASSERT_EQ(system.reports.size(), 1u) << c.name;
    EXPECT_EQ(system.reports[0].className, "EStagingFolderLink") << c.name;
    EXPECT_EQ(system.reports[0].message,
              "Ordner " + kFolder +
                  " ist eine Verzeichnisverbindung oder symbolische Verkn\xFCpfung und wird nicht verwendet")
        << c.name;
    EXPECT_EQ(system.files, before) << c.name;
    EXPECT_EQ(system.folders, foldersBefore) << c.name;
    EXPECT_EQ(system.links.at(kFolder).target, c.link.target) << c.name;
    for (const char* untouched : {"CreateDirectoryA", "OpenFolderInPlace", "SetKernelObjectSecurity",
                                  "FindFirstFileA", "RemoveEntry", "FindResourceA", "CreateFileA", "ExpandFile",
                                  "ShellExecuteA"}) {
      EXPECT_TRUE(system.CallsNamed(untouched).empty()) << c.name << ": " << untouched;
    }
  }
}

TEST(LinkedStagingFolder, IsRefusedWhenItBecomesALinkBeforeItIsHeld) {
  FakeSystemServices system;
  InstallPayloadResources(system);
  AddOutsideWorld(system);
  system.folders.insert(kFolder);
  system.beforeFolderOpens = [](FakeSystemServices& s) {
    s.folders.erase(kFolder);
    s.links[kFolder] = {"C:\\Windows\\System32", true};
  };
  const auto before = system.files;
  try {
    RunBootstrap(system);
    FAIL() << "no exception";
  } catch (const EStagingFolderLink& e) {
    EXPECT_EQ(e.Message(), "Ordner " + kFolder +
                               " ist eine Verzeichnisverbindung oder symbolische Verkn\xFCpfung und wird nicht verwendet");
  }
  EXPECT_EQ(system.files, before);
  EXPECT_TRUE(system.CallsNamed("SetKernelObjectSecurity").empty());
  EXPECT_TRUE(system.CallsNamed("RemoveEntry").empty());
  EXPECT_TRUE(system.CallsNamed("CreateFileA").empty());
  EXPECT_EQ(system.heldFolders, 0);
}

// ---------------------------------------------------------------------------
// The folder's DACL.

TEST(StagingFolderSddl, GrantsAdministratorsAndSystemAllAndTheUserAndOwnerReadAndExecute) {
  EXPECT_EQ(StagingFolderSddl(kUserSid), kSddl);
  EXPECT_EQ(StagingFolderSddl("S-1-5-21-1-2-3-500"),
            "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;S-1-5-21-1-2-3-500)(A;OICI;0x1200a9;;;OW)");
}

struct SecurityCase {
  const char* name;
  std::function<void(FakeSystemServices&)> arrange;
  bool created;
};

TEST(StagingFolderSecurity, IsAppliedOnTheCreatingAndTheReusingPathBeforeTheFirstWrite) {
  const SecurityCase cases[] = {
      {"folder missing", [](FakeSystemServices&) {}, true},
      {"temporary directory missing too",
       [](FakeSystemServices& s) { s.folders = {"C:"}; }, true},
      {"folder of an earlier run", [](FakeSystemServices& s) { s.folders.insert(kFolder); }, false},
      {"folder of an earlier run with files",
       [](FakeSystemServices& s) {
         s.folders.insert(kFolder);
         s.files[Staged("Setup.lst")] = "old";
         s.files[Staged("version.dll")] = "planted";
       },
       false},
  };
  for (const SecurityCase& c : cases) {
    FakeSystemServices system;
    InstallPayloadResources(system);
    c.arrange(system);
    RunBootstrap(system);

    const std::vector<FakeCall> creates = system.CallsNamed("CreateDirectoryA");
    if (c.created) {
      ASSERT_FALSE(creates.empty()) << c.name;
      // Only the staging folder itself is created with the DACL.
      EXPECT_EQ(creates.back(), (FakeCall{"CreateDirectoryA", {kFolder, kSddl}})) << c.name;
      for (std::size_t i = 0; i + 1 < creates.size(); ++i) EXPECT_EQ(creates[i].args.size(), 1u) << c.name;
    } else {
      EXPECT_TRUE(creates.empty()) << c.name;
    }
    EXPECT_EQ(system.CallsNamed("SetKernelObjectSecurity"),
              (std::vector<FakeCall>{{"SetKernelObjectSecurity", {kFolder, kSddl}}}))
        << c.name;
    const std::size_t protect = FirstCall(system, "SetKernelObjectSecurity");
    EXPECT_LT(protect, FirstCall(system, "FindFirstFileA")) << c.name;
    EXPECT_LT(protect, FirstCall(system, "RemoveEntry")) << c.name;
    EXPECT_LT(protect, FirstCall(system, "CreateFileA")) << c.name;
    EXPECT_LT(FirstCall(system, "OpenFolderInPlace"), protect) << c.name;
    EXPECT_EQ(system.folderSecurity.at(kFolder), kSddl) << c.name;
  }
}

// ---------------------------------------------------------------------------
// What stops the run while the folder is taken.

struct TakeFailureCase {
  const char* name;
  std::function<void(FakeSystemServices&)> arrange;
  const char* className;
  std::string message;
};

void PrintTo(const TakeFailureCase& c, std::ostream* out) { *out << c.name; }

class TakeStagingFolderFailure : public ::testing::TestWithParam<TakeFailureCase> {};

TEST_P(TakeStagingFolderFailure, EndsTheRunBeforeAnyPayloadIsWritten) {
  const TakeFailureCase& c = GetParam();
  FakeSystemServices system;
  InstallPayloadResources(system);
  AddOutsideWorld(system);
  system.folders.insert(kFolder);
  system.files[Staged("version.dll")] = "planted";
  c.arrange(system);

  EXPECT_EQ(RunBootstrapProcess(system), kExitCodeAfterReport);
  ASSERT_EQ(system.reports.size(), 1u);
  EXPECT_EQ(system.reports[0].className, c.className);
  EXPECT_EQ(system.reports[0].message, c.message);
  EXPECT_TRUE(system.CallsNamed("FindResourceA").empty());
  EXPECT_TRUE(system.CallsNamed("CreateFileA").empty());
  EXPECT_TRUE(system.launches.empty());
  EXPECT_EQ(system.heldFolders, 0);
}

const TakeFailureCase kTakeFailures[] = {
    {"NoUserSid", [](FakeSystemServices& s) { s.userSid.clear(); }, "EStagingFolderError",
     "Kann Benutzerkennung des Prozesses nicht ermitteln"},
    {"SecurityRefused", [](FakeSystemServices& s) { s.refuseFolderSecurity = true; }, "EStagingFolderError",
     "Kann Zugriffsrechte f\xFCr Ordner " + kFolder + " nicht setzen"},
    {"FolderUnlistable", [](FakeSystemServices& s) { s.unlistable.insert(kFolder); }, "EStagingFolderError",
     "Kann Ordner " + kFolder + " nicht lesen"},
    {"ForeignFileStays", [](FakeSystemServices& s) { s.undeletable.insert(Staged("version.dll")); },
     "EStagingFolderError", "Kann " + Staged("version.dll") + " nicht entfernen"},
    {"ForeignSubfolderUnlistable",
     [](FakeSystemServices& s) {
       s.folders.insert(Staged("plugins"));
       s.unlistable.insert(Staged("plugins"));
     },
     "EStagingFolderError", "Kann Ordner " + Staged("plugins") + " nicht lesen"},
    {"FileInForeignSubfolderStays",
     [](FakeSystemServices& s) {
       s.folders.insert(Staged("plugins"));
       s.files[Staged("plugins\\evil.dll")] = "planted";
       s.undeletable.insert(Staged("plugins\\evil.dll"));
     },
     "EStagingFolderError", "Kann " + Staged("plugins\\evil.dll") + " nicht entfernen"},
    // A folder that exists but cannot be held is not written into.
    {"FolderCannotBeHeld", [](FakeSystemServices& s) { s.unopenableFolders.insert(kFolder); },
     "EStagingFolderError", "Kann Ordner " + kFolder + " nicht pr\xFC" "fen"},
    {"FolderCannotBeExamined", [](FakeSystemServices& s) { s.unexaminableFolders.insert(kFolder); },
     "EStagingFolderError", "Kann Ordner " + kFolder + " nicht pr\xFC" "fen"},
    // One that was to be created and cannot be held is reported by the
    // first file, as a folder that could not be created.
    {"CreatedFolderCannotBeHeld",
     [](FakeSystemServices& s) {
       s.files.erase(Staged("version.dll"));
       s.folders.erase(kFolder);
       s.unopenableFolders.insert(kFolder);
     },
     "EFCreateError", "Kann Datei " + Staged("Fennimor.ex_") + " nicht erstellen"},
    {"FolderTurnedIntoAFile",
     [](FakeSystemServices& s) {
       s.beforeFolderOpens = [](FakeSystemServices& w) {
         w.files.erase(Staged("version.dll"));
         w.folders.erase(kFolder);
         w.files[kFolder] = "a file now";
       };
     },
     "EFCreateError", "Kann Datei " + Staged("Fennimor.ex_") + " nicht erstellen"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TakeStagingFolderFailure, ::testing::ValuesIn(kTakeFailures),
                         [](const ::testing::TestParamInfo<TakeFailureCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------
// Entries the bootstrap does not write.

TEST(ForeignEntries, AreRemovedLinksAsLinksAndTheSeventeenNamesAreKept) {
  FakeSystemServices system;
  AddOutsideWorld(system);
  system.folders.insert(kFolder);
  // Planted: a DLL the second stage would load, a file of the user's, a
  // subfolder with more in it, a junction and a file link into folders
  // outside, a second name of a file outside.
  system.files[Staged("version.dll")] = "planted";
  system.files[Staged("Notiz.txt")] = "Eigene Notiz";
  system.folders.insert({Staged("plugins"), Staged("plugins\\deep")});
  system.files[Staged("plugins\\evil.dll")] = "planted";
  system.files[Staged("plugins\\deep\\more.dll")] = "planted";
  system.links[Staged("Dokumente")] = {"C:\\Users\\u\\Documents", true};
  system.links[Staged("dbghelp.dll")] = {"C:\\Windows\\System32\\version.dll", false};
  system.hardLinks[Staged("winmm.dll")] = "C:\\Windows\\win.ini";
  // The names the bootstrap writes, some in another case.
  const std::vector<std::string> kept = StagedFileNames();
  for (const std::string& name : kept) system.files[Staged(name)] = "from an earlier run";
  system.files.erase(Staged("Setup.lst"));
  system.files[Staged("SETUP.LST")] = "from an earlier run";
  const auto outside = FilesOutside(system);
  const std::set<std::string> outsideFolders = {"C:\\Users\\u\\Documents", "C:\\Windows\\System32"};

  StagingFolder = kFolder;
  const StagingFolderHold hold = TakeStagingFolder(system, kFolder, kept);
  EXPECT_TRUE(hold.IsReady());

  std::vector<std::string> expected = kept;
  std::replace(expected.begin(), expected.end(), std::string("Setup.lst"), std::string("SETUP.LST"));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(NamesIn(system, kFolder), expected);
  EXPECT_EQ(FilesOutside(system), outside) << "nothing outside the folder changes";
  for (const std::string& folder : outsideFolders) EXPECT_TRUE(system.folders.count(folder)) << folder;
  // The junction was removed as a link: nothing listed or removed through it.
  for (const FakeCall& call : system.calls) {
    if (call.name == "FindFirstFileA" || call.name == "RemoveEntry") {
      EXPECT_NE(call.args[0].rfind(Staged("Dokumente\\"), 0), 0u) << call.args[0];
    }
  }
  // A subfolder is emptied from the inside out.
  const std::vector<FakeCall> removals = system.CallsNamed("RemoveEntry");
  auto removedAt = [&](const std::string& path) {
    return std::find(removals.begin(), removals.end(), FakeCall{"RemoveEntry", {path}}) - removals.begin();
  };
  EXPECT_LT(removedAt(Staged("plugins\\deep\\more.dll")), removedAt(Staged("plugins\\deep")));
  EXPECT_LT(removedAt(Staged("plugins\\deep")), removedAt(Staged("plugins")));
  EXPECT_LT(removedAt(Staged("plugins\\evil.dll")), removedAt(Staged("plugins")));
  EXPECT_EQ(removals.size(), 9u) << "six entries at the top, three inside plugins";
}

TEST(SameFileName, IgnoresTheCaseOfAsciiLettersOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"Setup.exe", "Setup.exe", true},   {"Setup.exe", "SETUP.EXE", true}, {"setup.exe", "Setup.EXE", true},
      {"Setup.exe", "Setup.ex_", false},  {"Setup.exe", "Setup.exe.", false}, {"Setup.exe", "Setup.ex", false},
      {"Setup.exe", " Setup.exe", false}, {"\xC4" "rger.txt", "\xE4" "rger.txt", false}, {"", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(SameFileName(c.a, c.b), c.same) << c.a << " / " << c.b;
}

// ---------------------------------------------------------------------------
// A staged name that is a link or a second name of another file.

struct LinkedStagedFileCase {
  const char* name;
  std::string stagedName;
  std::function<void(FakeSystemServices&, const std::string& path)> plant;
};

TEST(LinkedStagedFile, IsRemovedAndCreatedAfreshItsTargetUntouched) {
  const LinkedStagedFileCase cases[] = {
      {"payload file as a second name of a user's file", "Setup.lst",
       [](FakeSystemServices& s, const std::string& p) { s.hardLinks[p] = "C:\\Users\\u\\Documents\\Brief.txt"; }},
      {"payload file as a link to a system file", "Liesmich.txt",
       [](FakeSystemServices& s, const std::string& p) { s.links[p] = {"C:\\Windows\\win.ini", false}; }},
      {"compressed second stage as a link", "Setup.ex_",
       [](FakeSystemServices& s, const std::string& p) {
         s.links[p] = {"C:\\Windows\\System32\\version.dll", false};
       }},
      {"second stage as a second name of a system file", "Setup.exe",
       [](FakeSystemServices& s, const std::string& p) { s.hardLinks[p] = "C:\\Windows\\System32\\version.dll"; }},
      {"second stage as a junction", "Setup.exe",
       [](FakeSystemServices& s, const std::string& p) { s.links[p] = {"C:\\Users\\u\\Documents", true}; }},
  };
  for (const LinkedStagedFileCase& c : cases) {
    FakeSystemServices system;
    InstallPayloadResources(system);
    AddOutsideWorld(system);
    system.folders.insert(kFolder);
    const std::string path = Staged(c.stagedName);
    c.plant(system, path);
    const auto outside = FilesOutside(system);

    RunBootstrap(system);

    EXPECT_EQ(FilesOutside(system), outside) << c.name;
    EXPECT_TRUE(system.folders.count("C:\\Users\\u\\Documents")) << c.name;
    EXPECT_EQ(system.AttributesOf(path) & kFileAttributeReparsePoint, 0u) << c.name;
    EXPECT_FALSE(system.hardLinks.count(path)) << c.name;
    ASSERT_TRUE(system.files.count(path)) << c.name;
    for (const PayloadRow& row : PayloadTable) {
      if (c.stagedName == row.stagedFileName) {
        EXPECT_EQ(system.files.at(path), system.resources.at(UpperCase(row.resourceName))) << c.name;
      }
    }
    EXPECT_LT(FirstCall(system, "RemoveEntry"), system.calls.size()) << c.name;
    ASSERT_EQ(system.launches.size(), 1u) << c.name;
  }
}

TEST(LinkedStagedFile, ThatCannotBeRemovedIsNeverWrittenThrough) {
  FakeSystemServices system;
  InstallPayloadResources(system);
  AddOutsideWorld(system);
  system.folders.insert(kFolder);
  system.hardLinks[Staged("Vertrag.txt")] = "C:\\Users\\u\\Documents\\Brief.txt";
  system.undeletable.insert(Staged("Vertrag.txt"));
  const auto outside = FilesOutside(system);
  try {
    RunBootstrap(system);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EFCreateError");
    EXPECT_EQ(e.Message(), "Kann Datei " + Staged("Vertrag.txt") + " nicht erstellen");
  }
  EXPECT_EQ(FilesOutside(system), outside);
  EXPECT_TRUE(system.CallsNamed("CreateFileA") ==
              (std::vector<FakeCall>{{"CreateFileA", {Staged("Fennimor.ex_")}},
                                     {"CreateFileA", {Staged("Fennimor.ch_")}},
                                     {"CreateFileA", {Staged("Liesmich.txt")}}}));
  EXPECT_TRUE(system.launches.empty());
}

TEST(ClearPathForNewFile, RemovesWhatStandsThereAndLeavesAFreePathAlone) {
  struct Case {
    const char* name;
    std::function<void(FakeSystemServices&)> arrange;
    std::vector<std::string> calls;
  };
  const std::string path = Staged("Setup.lst");
  const Case cases[] = {
      {"nothing there", [](FakeSystemServices&) {}, {"GetFileAttributesA"}},
      {"file", [&](FakeSystemServices& s) { s.files[path] = "old"; }, {"GetFileAttributesA", "RemoveEntry"}},
      {"second name", [&](FakeSystemServices& s) { s.hardLinks[path] = "C:\\Windows\\win.ini"; },
       {"GetFileAttributesA", "RemoveEntry"}},
      {"empty folder", [&](FakeSystemServices& s) { s.folders.insert(path); }, {"GetFileAttributesA", "RemoveEntry"}},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    AddOutsideWorld(system);
    system.folders.insert(kFolder);
    c.arrange(system);
    ClearPathForNewFile(system, path);
    EXPECT_EQ(system.CallNames(), c.calls) << c.name;
    EXPECT_EQ(system.AttributesOf(path), kInvalidFileAttributes) << c.name;
    EXPECT_EQ(system.files.at("C:\\Windows\\win.ini"), "[windows]") << c.name;
  }
}

TEST(ClearPathForNewFile, RaisesTheCreateErrorWhenTheEntryStays) {
  FakeSystemServices system;
  system.folders.insert({kFolder, Staged("Setup.lst"), Staged("Setup.lst\\x")});
  try {
    ClearPathForNewFile(system, Staged("Setup.lst"));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EFCreateError");
    EXPECT_EQ(e.Message(), "Kann Datei " + Staged("Setup.lst") + " nicht erstellen");
  }
  EXPECT_TRUE(system.folders.count(Staged("Setup.lst\\x")));
}

// ---------------------------------------------------------------------------
// The DLL search, before everything else.

TEST(BootstrapProcess, NarrowsTheDllSearchBeforeThePlatformStartsAndBeforeAnyResource) {
  FakeSystemServices system;
  InstallPayloadResources(system);
  EXPECT_EQ(RunBootstrapProcess(system), kExitCodeNormal);
  EXPECT_TRUE(system.reports.empty());
  const std::vector<FakeCall> first(system.calls.begin(), system.calls.begin() + 4);
  EXPECT_EQ(first, (std::vector<FakeCall>{{"SetDefaultDllDirectories", {"0x800"}},
                                          {"SetSearchPathMode", {"0x8001"}},
                                          {"SetDllDirectoryA", {""}},
                                          {"StartPlatform", {}}}));
  EXPECT_EQ(system.CallsNamed("SetDefaultDllDirectories").size(), 1u);
  EXPECT_LT(FirstCall(system, "SetDefaultDllDirectories"), FirstCall(system, "FindResourceA"));
  EXPECT_EQ(system.launches.size(), 1u);
}

TEST(BootstrapProcess, GoesOnWhereTheSystemLacksSetDefaultDllDirectories) {
  FakeSystemServices system;
  InstallPayloadResources(system);
  system.hasSetDefaultDllDirectories = false;
  EXPECT_EQ(RunBootstrapProcess(system), kExitCodeNormal);
  EXPECT_EQ(system.CallNames()[1], "SetSearchPathMode");
  EXPECT_EQ(system.CallNames()[2], "SetDllDirectoryA");
  EXPECT_EQ(system.launches.size(), 1u);
}

TEST(BootstrapProcess, ReportsWhatEscapesTheStartUpOrTheRun) {
  struct Case {
    const char* name;
    std::function<void(FakeSystemServices&)> arrange;
    std::string className;
    std::string message;
  };
  const Case cases[] = {
      {"platform start-up", [](FakeSystemServices& s) { s.platformStartFailure = "Kann Anwendungsfenster nicht erstellen"; },
       "Exception", "Kann Anwendungsfenster nicht erstellen"},
      {"missing resource", [](FakeSystemServices& s) { s.resources.erase("TEST7"); }, "EResNotFound",
       "Ressource Test7 nicht gefunden"},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    InstallPayloadResources(system);
    c.arrange(system);
    EXPECT_EQ(RunBootstrapProcess(system), kExitCodeAfterReport) << c.name;
    ASSERT_EQ(system.reports.size(), 1u) << c.name;
    EXPECT_EQ(system.reports[0].className, c.className) << c.name;
    EXPECT_EQ(system.reports[0].message, c.message) << c.name;
    EXPECT_EQ(system.CallNames()[0], "SetDefaultDllDirectories") << c.name;
    EXPECT_EQ(system.CallNames().back(), "ReportFailure") << c.name;
    EXPECT_EQ(system.heldFolders, 0) << c.name;
  }
}

}  // namespace
