#!/usr/bin/env bash
# The release for users: builds both Windows presets and writes
# build/release/icofmt-<version>-windows.zip with the 32-bit and 64-bit
# modules, icohost.exe and the user README (cmake --install of each Windows
# build lays out the same files).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
version=$(sed -n 's/^project(icofmt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
name="icofmt-$version-windows"
stage="build/release/$name"
rm -rf "$stage" "build/release/$name.zip"
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "${ICOFMT_JOBS:-$(nproc)}"
  cmake --install "build/$preset" --prefix "$stage" >/dev/null
done
(cd build/release && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "release: build/release/$name.zip"
(cd build/release && cmake -E tar tf "$name.zip")
