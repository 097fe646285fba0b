#include "payload_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(PayloadTable, HoldsTheSixteenRowsInWritingOrder) {
  const char* const stagedNames[] = {
      "Fennimor.ex_",      "Fennimor.ch_",      "Liesmich.txt",      "Vertrag.txt",
      "eztw32.DL_",        "openthesaurus.tx_", "KV-Standard.w_",    "Ubuntu2.vsf",
      "GainsboroSkyLight2.vsf", "WedgewoodLight2.vsf", "SlateClassico.vsf", "SapphireKamri.vsf",
      "AmethystKamri.vsf", "Beispiel.dbfnm",    "Setup.ex_",         "Setup.lst",
  };
  ASSERT_EQ(kPayloadRowCount, std::size(stagedNames));
  for (std::size_t i = 0; i < kPayloadRowCount; ++i) {
    EXPECT_EQ(std::string(PayloadTable[i].resourceName), "Test" + std::to_string(i + 1));
    EXPECT_STREQ(PayloadTable[i].resourceType, "FILE");
    EXPECT_STREQ(PayloadTable[i].stagedFileName, stagedNames[i]);
  }
}

}  // namespace
