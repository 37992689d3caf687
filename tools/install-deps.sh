#!/usr/bin/env bash
# Installs the Debian packages that building and testing talvo need, when they are missing.
set -euo pipefail

packages=(cmake g++ make libgtest-dev libbenchmark-dev python3 libc-bin)
# The packages (tools/package.sh): dpkg-shlibdeps for the .deb's dependencies, file for CPack
# to find the programs to give it, groff (groff-base) to check the manual page. CPack writes
# the zip and the tarball itself.
packages+=(dpkg-dev file groff-base)
if [ "${TALVO_SKIP_FUZZ:-0}" != 1 ]; then
  # The fuzz targets: clang and its libFuzzer and sanitizer runtimes.
  packages+=(clang libclang-rt-14-dev)
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

# The Windows build: the cross compiler and windres (the version resource), wine to run
# talvo.exe, GoogleTest's source to build it for Windows, and the ja_JP.UTF-8 locale: wine
# makes code page 932 the ANSI and OEM code page only under a Japanese locale, and turns the
# Unix arguments into that command line only when the locale exists. Without them only the
# Windows leg of the tests and the zip are left out (tools/test.sh and tools/package.sh say
# so); on CI they are required.
windows_tools() {
  local missing=() p
  for p in g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 wine googletest locales; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null || return 1
  fi
  if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen || return 1
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null || return 1
  fi
}
if [ "${TALVO_SKIP_WINDOWS:-0}" != 1 ] && ! windows_tools; then
  [ "${CI:-}" = true ] && exit 1
  echo "warning: the Windows build's tools could not be installed" >&2
fi
