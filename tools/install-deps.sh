#!/usr/bin/env bash
# Installs the Debian packages that building and testing talvo need, when they are missing.
set -euo pipefail

packages=(cmake g++ make libgtest-dev libbenchmark-dev python3 libc-bin)
if [ "${TALVO_SKIP_WINDOWS:-0}" != 1 ]; then
  packages+=(g++-mingw-w64-x86-64 wine64 locales)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
