// Prints the bootstrap's PayloadTable as the C++ compiler sees it, one row a
// line: number, resource name, resource type, staged file name, separated by
// tabs. mkbootstrap reads the same rows from payload_rows.def; the table test
// compares the two, so the tool cannot fill other rows than the bootstrap
// writes.
#include <cstdio>

#include "payload_table.h"

int main() {
  for (std::size_t i = 0; i < kPayloadRowCount; ++i) {
    const PayloadRow& row = PayloadTable[i];
    std::printf("%zu\t%s\t%s\t%s\n", i + 1, row.resourceName, row.resourceType,
                row.stagedFileName);
  }
  return 0;
}
