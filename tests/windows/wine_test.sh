#!/usr/bin/env bash
# The Windows module under Wine and Xvfb, in three parts:
#   end-to-end SOURCE_DIR WIN64_DIR LINUX_ICOHOST
#       icohost.exe opens and saves through the 64-bit module (the carried
#       module written to the temporary folder and loaded, the hook confirming
#       "PNG Options"); every icon saved equals the Linux build's, every image
#       opened equals the direct read, and the system's own icon calls read
#       every image of every saved icon as it must (icon_load_check.exe).
#   forms SOURCE_DIR WIN64_DIR SHOTS_DIR
#       forms_check.exe checks the real windows of the forms against the form
#       objects and pictures them; the pictures must match docs/images (up to
#       font rendering). ICOFMT_UPDATE_SCREENSHOTS=1 makes them the reference.
# Exit 77 (skipped) when Wine, Xvfb or the win64 build is missing.
set -euo pipefail
part=$1
src=$2
win=$3
for f in src/host/icohost.exe src/host/icofmt.8bi tests/windows/icon_load_check.exe tests/windows/forms_check.exe; do
  if [ ! -f "$win/$f" ]; then
    echo "SKIPPED: $win/$f is missing (build the win64 preset first)" >&2
    exit 77
  fi
done
. "$src/tests/windows/wine_env.sh"

fail=0
failed() {
  echo "FAIL: $*" >&2
  fail=1
}

if [ "$part" = end-to-end ]; then
  linux_icohost=$4
  work=$(mktemp -d)
  trap 'rm -rf "$work"; [ -z "$WINESERVER" ] || "$WINESERVER" -w; kill "$xvfb_pid" 2>/dev/null || true' EXIT
  icohost="$win/src/host/icohost.exe"
  # The system loads every image of ICON as icohost extracts it into DIR.
  expect_system_reads() {
    local icon=$1 dir=$2 n
    mkdir -p "$dir"
    for n in $(seq "$("$linux_icohost" list "$icon" | wc -l)"); do
      wine_run "$icohost" extract "$icon" "$n" -o "$dir/$n.png"
    done
    wine_run "$win/tests/windows/icon_load_check.exe" "$icon" "$dir" ||
      failed "the system reads $(basename "$icon") otherwise"
  }
  # A 256 x 256 image with every alpha, so that PNG entries of every depth
  # are written.
  # The system's Python, which has Pillow (a python3 earlier on PATH may not).
  python=python3
  [ ! -x /usr/bin/python3 ] || python=/usr/bin/python3
  "$python" - "$work/big.png" <<'PY'
import sys
from PIL import Image
im = Image.new("RGBA", (256, 256))
im.putdata([(x, y, (x * y) % 256, (x + y) % 256) for y in range(256) for x in range(256)])
im.save(sys.argv[1])
PY

  for case in "ring.png:auto" "ring.png:1" "ring.png:4" "ring.png:8" "ring.png:24" "ring.png:32" \
      "big.png:auto:--png" "big.png:1:--png" "big.png:4:--png" "big.png:8:--png" "big.png:24:--png" \
      "big.png:32:--png" "big.png:32:--no-png:--add" "ring.png:8:--delete:1,3" \
      "big.png:auto:--png:--sizes:16,24,32,48,64,128" "big.png:8:--sizes:windows:--add"; do
    IFS=: read -r image depth flags <<<"$case"
    flags=${flags//:/ }
    [ "$image" = big.png ] && source="$work/big.png" || source="$src/samples/$image"
    name="${image%.png}-$depth${flags//[ -]/}"
    cp "$src/samples/sample.ico" "$work/$name-win.ico"
    cp "$src/samples/sample.ico" "$work/$name-linux.ico"
    # shellcheck disable=SC2086
    if ! wine_run "$icohost" save "$source" "$work/$name-win.ico" --depth "$depth" $flags 2>"$work/$name.err"; then
      failed "save $name: $(cat "$work/$name.err")"
      continue
    fi
    grep -q 'answered the form "PNG Options"' "$work/$name.err" && failed "save $name: PNG Options waited for the user"
    grep -q 'answered the form "ICO options"' "$work/$name.err" || failed "save $name: the options form was not shown"
    case $flags in
      *--delete*)
        grep -q 'message box "Confirm": Do you really want to delete checked images?' "$work/$name.err" ||
          failed "save $name: no confirmation asked"
        ;;
    esac
    # shellcheck disable=SC2086
    "$linux_icohost" save "$source" "$work/$name-linux.ico" --depth "$depth" $flags
    cmp -s "$work/$name-win.ico" "$work/$name-linux.ico" || failed "save $name: Windows and Linux icons differ"
    expect_system_reads "$work/$name-win.ico" "$work/$name"
  done

  # Cursors: a new one named .cur with a hot spot given, an image added (its
  # hot spot scaled from the image nearest in size), a PNG one, one replaced;
  # the system loads each image as a cursor with its hot spot.
  for args in "$src/samples/ring.png --hotspot 5,7" "$work/big.png --add --png" \
      "$src/samples/ring.png --depth 8 --add" "$src/samples/ring.png --depth 32"; do
    read -r image flags <<<"$args"
    # shellcheck disable=SC2086
    wine_run "$icohost" save "$image" "$work/c-win.cur" $flags 2>"$work/c.err" || failed "cursor $args: $(cat "$work/c.err")"
    # shellcheck disable=SC2086
    "$linux_icohost" save "$image" "$work/c-linux.cur" $flags
    cmp -s "$work/c-win.cur" "$work/c-linux.cur" || failed "cursor $args: Windows and Linux cursors differ"
  done
  "$linux_icohost" list "$work/c-win.cur" | grep -q "2 256x256, 32 bpp, packed, hot spot 58,80" ||
    failed "cursor: $("$linux_icohost" list "$work/c-win.cur")"
  # An old icon: a 32-bit image whose alpha is 0 everywhere, its
  # transparency in its mask, drawn by the system through the mask.
  "$python" - "$work/zero.ico" <<'PY'
import struct, sys
w = h = 16
hidden = lambda x, y: (x + y) % 3 == 0
rows = range(h - 1, -1, -1)  # bottom row first
colour = b"".join(bytes(4) if hidden(x, y) else bytes((0x40, 0x80 + y, 0xC0, 0)) for y in rows for x in range(w))
mask = b""
for y in rows:
    mask += struct.pack(">H", sum(0x8000 >> x for x in range(w) if hidden(x, y))) + bytes(2)
block = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0) + colour + mask
head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(block), 22)
open(sys.argv[1], "wb").write(head + block)
PY
  for ico in c-win.cur zero.ico; do
    expect_system_reads "$work/$ico" "$work/${ico%.*}"
  done

  # The carried module alone shows "PNG Options" to the user; inside the
  # module (above) its hook confirms the form before the user can see it.
  wine_run "$icohost" save "$src/samples/ring.png" "$work/carried.png" --module "$win/src/carried/icocarried.dll" \
    2>"$work/carried.err" || failed "the carried module alone: $(cat "$work/carried.err")"
  grep -q 'answered the form "PNG Options"' "$work/carried.err" || failed "the carried module shows no PNG Options"

  # Opening: every image of an icon the module wrote, chosen on the form.
  ico="$work/big-32png-win.ico"
  for n in $(seq "$("$linux_icohost" list "$ico" | wc -l)"); do
    wine_run "$icohost" open "$ico" --pick "$n" -o "$work/open$n.png" 2>"$work/open.err" || failed "open image $n: $(cat "$work/open.err")"
    cmp -s "$work/open$n.png" "$work/big-32png/$n.png" || failed "open image $n differs from the direct read"
  done
  # Cancelled forms change nothing.
  wine_run "$icohost" open "$ico" --cancel -o "$work/cancelled.png" 2>/dev/null && failed "a cancelled open succeeded"
  [ ! -e "$work/cancelled.png" ] || failed "a cancelled open wrote its output"
  cp "$ico" "$work/keep.ico"
  wine_run "$icohost" save "$src/samples/ring.png" "$ico" --cancel 2>/dev/null || true
  cmp -s "$ico" "$work/keep.ico" || failed "a cancelled save changed the icon"
elif [ "$part" = forms ]; then
  shots=$4
  rm -rf "$shots"
  mkdir -p "$shots"
  # The forms show the icon's path: one that is the same on every machine.
  cp "$src/samples/sample.ico" "$WINEPREFIX/drive_c/sample.ico"
  rm -f "$WINEPREFIX/drive_c/twelve.ico"
  wine_run "$win/tests/windows/forms_check.exe" 'C:\sample.ico' 'C:\twelve.ico' "$shots" || failed "forms_check"
  for shot in select options-compact options-expanded about; do
    reference="$src/docs/images/$shot.png"
    if [ "${ICOFMT_UPDATE_SCREENSHOTS:-}" = 1 ]; then
      cp "$shots/$shot.png" "$reference"
      continue
    fi
    [ -f "$reference" ] || { failed "no reference image $reference"; continue; }
    size=$(identify -format '%wx%h' "$shots/$shot.png")
    [ "$size" = "$(identify -format '%wx%h' "$reference")" ] || { failed "$shot: $size, reference differs"; continue; }
    # Font rendering may move a few text pixels; a missing button changes
    # about 2 % of the window, a moved one more.
    differing=$(compare -metric AE -fuzz 10% "$shots/$shot.png" "$reference" null: 2>&1 || true)
    pixels=$(( ${size%x*} * ${size#*x} ))
    [ "${differing%%.*}" -le $(( pixels / 500 )) ] ||
      failed "$shot: $differing of $pixels pixels differ from $reference (see $shots/$shot.png)"
  done
else
  echo "unknown part $part" >&2
  exit 2
fi
[ "$fail" = 0 ] && echo "wine $part: passed"
exit "$fail"
