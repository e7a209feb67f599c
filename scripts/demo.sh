#!/usr/bin/env bash
# Builds everything, then runs the reference host icohost on the built-in
# sample: the carried PNG module saves and opens it in each mode and the
# results are compared byte for byte; the sample icon's images are listed and
# extracted, then opened one by one through the ICO module and written as PNG;
# then the ICO module is asked to save the sample, and to make the sample's
# multi-size icon from its largest image.
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

icohost=build/linux/src/host/icohost
carried=build/linux/src/carried/icocarried.so
sample=samples/ring.png
out=build/linux/demo
rm -rf "$out" && mkdir -p "$out"
echo
echo "== The carried PNG module, as icohost sees it"
"$icohost" info --module "$carried"
echo
echo "== Round trips of $sample through the carried module"
for mode in rgb gray bitmap; do
  "$icohost" save "$sample" "$out/ring-$mode.png" --mode "$mode" --module "$carried"
  "$icohost" open "$out/ring-$mode.png" -o "$out/ring-$mode-opened.png" --module "$carried"
  "$icohost" save "$out/ring-$mode-opened.png" "$out/ring-$mode-again.png" --plain-save --module "$carried"
  if cmp -s "$out/ring-$mode.png" "$out/ring-$mode-again.png"; then
    echo "$mode: saved, opened and saved again; the two saved files are identical"
  else
    echo "$mode: the saved files differ" >&2
    exit 1
  fi
done
echo
echo "== The built-in sample icon samples/sample.ico, read directly"
"$icohost" list samples/sample.ico
for n in 1 5; do
  "$icohost" extract samples/sample.ico "$n" -o "$out/sample-$n.png"
  echo "image $n extracted as $out/sample-$n.png"
done
echo
echo "== Every image of samples/sample.ico opened through the ICO module"
count=$("$icohost" list samples/sample.ico | wc -l)
for ((n = 1; n <= count; n++)); do
  "$icohost" open samples/sample.ico --pick "$n" -o "$out/sample-open-$n.png"
  echo "image $n opened as $out/sample-open-$n.png"
done
echo
echo "== Saving through the ICO module ($("$icohost" info | sed -n 's/^name: *//p')): $sample at every depth, merged"
icon="$out/ring.ico"
images() {
  local n
  n=$("$icohost" list "$1" | wc -l)
  if [[ "$n" == 1 ]]; then echo "1 image"; else echo "$n images"; fi
}
rm -f "$icon"
# Each depth is added beside the others, but 32 bits, which auto chose for
# this picture: saved again, it replaces the image of the same format.
for depth in auto 1 4 8 24; do
  "$icohost" save "$sample" "$icon" --depth "$depth" --add
  echo "saved at depth $depth: $(images "$icon") in $icon"
done
"$icohost" save "$sample" "$icon" --depth 32
echo "saved at depth 32, replacing the image of that format: $(images "$icon") in $icon"
# The sample's 256 x 256 image, saved PNG-compressed beside the others.
"$icohost" extract samples/sample.ico 5 -o "$out/big.png"
"$icohost" save "$out/big.png" "$icon" --depth 32 --png --add
echo "saved the 256 x 256 image as PNG"
echo
echo "== One picture, a whole icon: the 256 x 256 image saved with the smaller sizes Windows uses, made on save"
whole="$out/sample-whole.ico"
rm -f "$whole"
"$icohost" save "$out/big.png" "$whole" --png --sizes windows
"$icohost" list "$whole"
echo
echo "== $icon ($(stat -c %s "$icon") bytes), listed and opened back"
"$icohost" list "$icon"
count=$("$icohost" list "$icon" | wc -l)
for ((n = 1; n <= count; n++)); do
  "$icohost" open "$icon" --pick "$n" -o "$out/ring-open-$n.png"
  echo "image $n opened as $out/ring-open-$n.png"
done
echo
echo "== What Windows and other readers would stumble on in these icons (icohost check)"
# ring.ico holds one size only, at every depth; the whole icon has them all.
"$icohost" check samples/sample.ico "$icon" "$whole"
echo
echo "Results are in $out"
