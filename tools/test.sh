#!/usr/bin/env bash
# Builds talvo and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)"
ctest --preset default -j"$(nproc)"
