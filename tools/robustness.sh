#!/usr/bin/env bash
# The robustness legs of CI: the whole unit and end-to-end suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then under ThreadSanitizer, then every fuzz target for a short,
# bounded run.
#   TALVO_FUZZ_SECONDS=600 bash tools/robustness.sh   # fuzz each target longer
set -euo pipefail
cd "$(dirname "$0")/.."
TALVO_SKIP_WINDOWS=1 bash tools/install-deps.sh
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

cmake --preset sanitize -DTALVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

# Row processing shares pieces of lines, and the writing of them, with a helper thread: the
# suite again, watched for races.
cmake --preset thread-sanitize >/dev/null
cmake --build build-tsan -j"$jobs"
ctest --preset thread-sanitize -j"$jobs"

cmake --preset fuzz -DTALVO_FUZZ_SECONDS="${TALVO_FUZZ_SECONDS:-20}" >/dev/null
cmake --build build-fuzz -j"$jobs"
ctest --preset fuzz -j"$jobs"
