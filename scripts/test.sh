#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds and tests the Linux
# presets (plain and sanitised), builds both Windows DLLs, checks them, and
# runs the 64-bit module under Wine. Re-runs reuse the build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=${ICOFMT_JOBS:-$(nproc)}

for preset in linux asan; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs" -LE 'windows-artifacts|wine'
done

for preset in win32 win64; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The Windows modules exist only now: read them back (PE headers, exports,
# PIPL, the carried module) with the Linux-built checker.
echo "== windows modules: check"
ICOFMT_REQUIRE_WINDOWS_MODULES=1 ctest --preset linux -j "$jobs" -L windows-artifacts

# icohost.exe, the module and its forms under Wine and Xvfb (a test without
# Wine says it was skipped).
echo "== windows modules: under Wine"
ctest --preset linux -j "$jobs" -L wine
echo "test.sh: all presets built, all tests passed"
