#!/usr/bin/env bash
# Builds talvo and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)"
ctest --preset default -j"$(nproc)"

# The Windows leg: talvo.exe cross-compiled with mingw-w64, its tests run under wine. On CI a
# missing tool fails the run; on a developer machine the leg is left out, saying so.
windows_leg() {
  local missing=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (g++-mingw-w64-x86-64)")
  command -v wine >/dev/null && command -v wineserver >/dev/null || missing+=("wine (wine, wine64)")
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=("GoogleTest source (googletest)")
  locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8' || missing+=("the ja_JP.UTF-8 locale")
  if [ ${#missing[@]} -ne 0 ]; then
    if [ "${CI:-}" = true ]; then
      echo "Windows leg FAILED: missing ${missing[*]}" >&2
      return 1
    fi
    echo "Windows leg NOT run: missing ${missing[*]}; bash tools/install-deps.sh installs them"
    return 0
  fi

  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$(nproc)"
  # One wine server for the whole leg, in the prefix the tests use (tests/CMakeLists.txt): wine
  # processes that each start and stop their own server now and then lose the race.
  WINEPREFIX="$(sed -n 's/^TALVO_WINEPREFIX:PATH=//p' build-windows/CMakeCache.txt)"
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -p || [ $? = 2 ]  # 2: one is running already, left by a run that was stopped
  trap 'wineserver -k || true' EXIT
  # The first program of a server session starts wine's background services, which keep its
  # standard handles open as long as the server lives: that must be wineboot writing to a log,
  # not a test whose output pipe would then never close. A fresh prefix is created here too.
  [ -f "$WINEPREFIX/system.reg" ] || echo "creating the wine prefix $WINEPREFIX"
  if ! wineboot -i </dev/null >build-windows/wineboot.log 2>&1; then
    cat build-windows/wineboot.log >&2
    return 1
  fi
  ctest --preset windows -j"$(nproc)"
  wineserver -k || true
  trap - EXIT
}
windows_leg

# The packages: built by CPack, each unpacked into a fresh folder and its example run from
# there (the zip under wine, with the same rule for missing tools as the Windows leg).
bash tools/package.sh

# The robustness legs: the suite under the sanitizers, and short fuzz runs.
bash tools/robustness.sh
