#!/usr/bin/env bash
# Builds everything and says what it built. (The reference host, once it
# exists, runs the module on the built-in sample here.)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
for preset in linux win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
echo
echo "Built:"
find build/linux build/win32 build/win64 -maxdepth 4 -type f \
  \( -name '*.so' -o -name '*.a' -o -name '*.dll' -o -name '*.8bi' -o -name '*.exe' \
     -o -name 'icohost' -o -name 'test_*' \) -not -path '*/_deps/*' -not -path '*/CMakeFiles/*' | sort
