#include <gtest/gtest.h>

#include "fake_system_services.h"
#include "file_stream.h"
#include "resource_stream.h"
#include "stream_errors.h"

namespace {

TEST(TResourceStream, CoversTheLoadedBytesWithoutACopy) {
  FakeSystemServices system;
  system.resources["TEST3"] = "read me";
  TResourceStream stream(system, "Test3", "FILE");
  EXPECT_EQ(stream.Memory(), system.ResourceMemory("TEST3"));
  EXPECT_EQ(stream.Size(), 7u);
  EXPECT_EQ(system.CallNames(),
            (std::vector<std::string>{"FindResourceA", "LoadResource", "LockResource", "SizeofResource"}));
  EXPECT_EQ(system.calls.front(), (FakeCall{"FindResourceA", {"Test3", "FILE"}}));
}

TEST(TResourceStream, RaisesResNotFoundNamingTheNameAsPassed) {
  struct Case {
    const char* name;
    bool stored;
    bool loadable;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"Test7", false, true, {"FindResourceA"}},
      {"tEsT7", true, false, {"FindResourceA", "LoadResource"}},
  };
  for (const Case& c : cases) {
    FakeSystemServices system;
    if (c.stored) system.resources["TEST7"] = "x";
    if (!c.loadable) system.unloadableResources.insert("TEST7");
    try {
      TResourceStream stream(system, c.name, "FILE");
      ADD_FAILURE() << "no exception for " << c.name;
    } catch (const EResNotFound& e) {
      EXPECT_EQ(e.Message(), std::string("Ressource ") + c.name + " nicht gefunden");
    }
    EXPECT_EQ(system.CallNames(), c.calls);
  }
}

TEST(TFileStream, ClosesItsFileWhenItGoes) {
  FakeSystemServices system;
  {
    TFileStream file(system, "C:\\Temp\\a.txt");
    EXPECT_EQ(system.openFiles, 1);
  }
  EXPECT_EQ(system.openFiles, 0);
  EXPECT_EQ(system.CallNames(), (std::vector<std::string>{"CreateFileA", "CloseHandle"}));
}

TEST(TFileStream, RaisesFCreateErrorNamingThePathAndClosesNothing) {
  FakeSystemServices system;
  try {
    TFileStream file(system, "C:\\Missing\\a.txt");
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Kann Datei C:\\Missing\\a.txt nicht erstellen");
  }
  EXPECT_EQ(system.CallNames(), (std::vector<std::string>{"CreateFileA"}));
}

TEST(TFileStream, WriteBufferRaisesUnlessEveryByteIsWritten) {
  struct Case {
    const char* name;
    std::optional<std::uint32_t> limit;
    bool failing;
    bool raises;
  };
  const Case cases[] = {
      {"all written", std::nullopt, false, false},
      {"one byte short", 9u, false, true},
      {"nothing written", 0u, false, true},
      {"call fails", std::nullopt, true, true},
  };
  const std::string data = "0123456789";
  for (const Case& c : cases) {
    FakeSystemServices system;
    const std::string path = "C:\\Temp\\w.bin";
    if (c.limit) system.writeLimits[path] = *c.limit;
    if (c.failing) system.failingWrites.insert(path);
    bool raised = false;
    try {
      TFileStream file(system, path);
      file.WriteBuffer(data.data(), 10);
    } catch (const EWriteError& e) {
      raised = true;
      EXPECT_EQ(e.Message(), "Stream-Write-Fehler ") << c.name;
    }
    EXPECT_EQ(raised, c.raises) << c.name;
    EXPECT_EQ(system.openFiles, 0) << c.name;
    EXPECT_EQ(system.writes.size(), 1u) << c.name;
  }
}

TEST(TFileStream, WriteBufferOfNothingMakesNoCall) {
  FakeSystemServices system;
  TFileStream file(system, "C:\\Temp\\empty.bin");
  file.WriteBuffer("", 0);
  EXPECT_TRUE(system.writes.empty());
}

}  // namespace
