#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds and tests the Linux
# presets (plain and sanitised), and builds both Windows DLLs. Re-runs reuse
# the build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=${ICOFMT_JOBS:-$(nproc)}

for preset in linux asan; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs" -LE windows-artifacts
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
echo "test.sh: all presets built, all tests passed"
