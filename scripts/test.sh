#!/usr/bin/env bash
# Everything CI runs: installs what is missing, builds the native tree and the
# 32-bit Windows tree, and runs every test (native, sanitized, under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake --preset linux
cmake --build --preset linux -j "$jobs"
cmake --preset windows
cmake --build --preset windows -j "$jobs"
ctest --preset linux -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" -LE wine
