#!/usr/bin/env bash
# Builds the project and runs it on the built-in sample icon.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
echo
echo "Built:"
find build/linux build/win32 build/win64 -maxdepth 3 -type f \
  \( -name '*.so' -o -name '*.a' -o -name '*.dll' -o -name '*.8bi' -o -name '*.exe' \
     -o -name 'icohost' -o -name 'icoinspect' \) -not -path '*/_deps/*' | sort
if [ -x build/linux/tools/icoinspect/icoinspect ]; then
  echo
  echo "The built-in sample, samples/sample.ico, as the icon reader sees it:"
  build/linux/tools/icoinspect/icoinspect samples/sample.ico
fi
