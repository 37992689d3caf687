#!/usr/bin/env bash
# Builds talvo and runs it on the sample CSV: M10W3 check digits for column 1, added as a new
# last column. The result is code page 932; it is shown through iconv.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVO_SKIP_WINDOWS=1 TALVO_SKIP_FUZZ=1 bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)" --target talvo
./build/talvo examples/sample.csv "$PWD/build/sample.out.csv" 1 1 1 6
echo "build/sample.out.csv:"
iconv -f CP932 -t UTF-8 build/sample.out.csv
