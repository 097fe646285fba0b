#include "file_io.h"

namespace {
const FileOps* g_override = nullptr;
}  // namespace

const FileOps& CurrentFileOps() { return g_override ? *g_override : NativeFileOps(); }

void SetFileOpsForTesting(const FileOps* ops) { g_override = ops; }
