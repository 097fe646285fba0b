#pragma once
// The sixteen payload rows: which resource of the executable becomes which
// file in the staging folder, in the order they are written. Plain constant
// data (see payload_rows.def), so tools can include and print it.

#include <cstddef>
#include <iterator>

struct PayloadRow {
  const char* resourceName;    // "Test1".."Test16"; the lookup ignores case
  const char* resourceType;    // "FILE" for every row
  const char* stagedFileName;  // joined to the staging folder
};

inline constexpr PayloadRow PayloadTable[] = {
#define PAYLOAD_ROW(name, type, file) {name, type, file},
#include "payload_rows.def"
#undef PAYLOAD_ROW
};

inline constexpr std::size_t kPayloadRowCount = std::size(PayloadTable);
