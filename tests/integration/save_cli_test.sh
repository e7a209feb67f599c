#!/usr/bin/env bash
# Saving through the module with icohost: new icons, merges into icons of
# every origin keeping what is untouched, both ways a host reaches the
# destination, the options' answers, and nothing left in the temporary folder.
set -u
icohost=$1 corpus=$2 image=$3 sample=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp/"
mkdir -p "$TMPDIR"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$icohost" "$@" 2>"$work/err" || fail "icohost $* exited $?: $(cat "$work/err")"; }
clean_tmp() {
  local left
  left=$(find "$TMPDIR" -mindepth 1)
  [ -z "$left" ] || fail "$1 left in the temporary folder: $left"
}
count() { "$icohost" list "$1" | wc -l; }
# Every image of $1 opens to the same pixels as image N+$3 of $2.
same_images() {
  local n i
  n=$(count "$1")
  for ((i = 1; i <= n; i++)); do
    "$icohost" extract "$1" $i -o "$work/a.png" && "$icohost" extract "$2" $((i + $3)) -o "$work/b.png" &&
      "$corpus" compare "$work/a.png" "$work/b.png" 2>/dev/null || fail "$4: image $i changed"
  done
}

# A new icon: one image at the automatic depth, opening to the very pixels,
# with no fault the linter calls an error.
run save "$image" "$work/new.ico"
[ "$("$icohost" list "$work/new.ico")" = "1 24x24, 32 bpp" ] || fail "new icon: $("$icohost" list "$work/new.ico")"
run open "$work/new.ico" -o "$work/back.png"
run check "$work/new.ico"
"$corpus" compare "$work/back.png" "$image" || fail "the saved image does not open as it was"
clean_tmp "a new icon"

# Added to the sample, with either way of reaching the destination: every
# image that was there is still there (24 x 24 images sort after 16 x 16 ones
# of their depth, so compare by format).
for way in "" --in-place --plain-save "--plain-save --title $work/dest.ico"; do
  cp "$sample" "$work/dest.ico"
  before=$(count "$work/dest.ico")
  # shellcheck disable=SC2086
  run save "$image" "$work/dest.ico" --add --depth 32 $way
  [ "$(count "$work/dest.ico")" = $((before + 1)) ] || fail "add ($way): $(count "$work/dest.ico") images"
  "$icohost" list "$sample" | cut -d' ' -f2- | sort >"$work/old"
  "$icohost" list "$work/dest.ico" | cut -d' ' -f2- | sort >"$work/new"
  [ "$(comm -23 "$work/old" "$work/new")" = "" ] || fail "add ($way) lost $(comm -23 "$work/old" "$work/new")"
  clean_tmp "add ($way)"
done

# Saved again in its format (no options step) by a host that truncates the
# destination before writing: the images stay, whatever the title names (the
# destination itself, a bare name beside another current folder, nothing).
for title in "$work/dest.png" dest.png ""; do
  cp "$sample" "$work/dest.ico"
  run save "$image" "$work/dest.ico" --add --depth 32 --plain-save --in-place --title "$title"
  [ "$(count "$work/dest.ico")" = $(($(count "$sample") + 1)) ] ||
    fail "plain save in place, title '$title': $(count "$work/dest.ico") images"
  clean_tmp "plain save in place, title '$title'"
done

# A Gray document keeps its grey levels at every depth: exactly at 8 bits,
# black and white at the ends below.
/usr/bin/python3 -c 'import sys; from PIL import Image; Image.frombytes("L", (16, 16), bytes(range(256))).save(sys.argv[1])' \
  "$work/grey.png"
for depth in auto 1 4 8; do
  rm -f "$work/grey.ico"
  run save "$work/grey.png" "$work/grey.ico" --depth $depth
  run check "$work/grey.ico"
  run extract "$work/grey.ico" 1 -o "$work/grey-back.png"
  /usr/bin/python3 - "$work/grey-back.png" $depth <<'EOF' || fail "a grey ramp saved at $depth bits came back wrong"
import sys
from PIL import Image
px = [p[:3] for p in Image.open(sys.argv[1]).convert("RGBA").getdata()]
exact = sys.argv[2] in ("auto", "8")
ok = px[0] == (0, 0, 0) and px[255] == (255, 255, 255)
sys.exit(0 if ok and (not exact or px == [(i, i, i) for i in range(256)]) else 1)
EOF
done
clean_tmp "grey"

# Replace exact format, twice: the sample's 24 x 24 8-bit image (its second)
# is replaced in place; the others stay where they were, untouched.
cp "$sample" "$work/r.ico"
run save "$image" "$work/r.ico" --depth 8
run save "$image" "$work/r.ico" --depth 8
[ "$("$icohost" list "$work/r.ico" | sed -n 2p)" = "2 24x24, 256 colors" ] &&
  [ "$(count "$work/r.ico")" = "$(count "$sample")" ] || fail "replace twice: $("$icohost" list "$work/r.ico")"
for i in 1 3 4 5; do
  "$icohost" extract "$sample" $i -o "$work/a.png" && "$icohost" extract "$work/r.ico" $i -o "$work/b.png" &&
    "$corpus" compare "$work/a.png" "$work/b.png" 2>/dev/null || fail "replace changed image $i"
done

# Deletions take effect even when the form is cancelled; the last image stays.
cp "$sample" "$work/d.ico"
"$icohost" save "$image" "$work/d.ico" --delete 1,2 --cancel 2>/dev/null
[ "$(count "$work/d.ico")" = $(($(count "$sample") - 2)) ] || fail "delete then cancel: $(count "$work/d.ico")"
same_images "$work/d.ico" "$sample" 2 "delete then cancel"
"$icohost" save "$image" "$work/new.ico" --delete 1 --cancel 2>/dev/null
[ "$(count "$work/new.ico")" = 1 ] || fail "the last image was deleted"

# Cancelled with no destination: result 1 and no file.
"$icohost" save "$image" "$work/none.ico" --cancel 2>/dev/null && fail "a cancelled new icon succeeded"
[ -e "$work/none.ico" ] && fail "a cancelled new icon left a file"
clean_tmp "cancelled saves"

# Every depth, and the modes of the host.
for depth in 1 4 8 24 32; do run save "$image" "$work/depths.ico" --add --depth $depth; done
for mode in gray bitmap; do run save "$image" "$work/modes.ico" --add --mode $mode; done
[ "$(count "$work/depths.ico")" = 5 ] && [ "$(count "$work/modes.ico")" = 2 ] || fail "depths and modes"
"$icohost" list "$work/modes.ico" | grep -q "2 colors" || fail "a Bitmap-mode image is not 1 bit"
clean_tmp "depths and modes"

# Cursors stay cursors: hot spots kept, followed, given; a new .cur is one.
if command -v icotool >/dev/null; then
  icotool -c --cursor --hotspot-x=5 --hotspot-y=7 -o "$work/c.cur" "$image" --hotspot-x=2 --hotspot-y=3 \
    "$work/back.png"
  run save "$image" "$work/c.cur" --add --depth 32
  icotool -l "$work/c.cur" >"$work/listed" 2>&1
  [ "$(grep -c -- '--cursor' "$work/listed")" = 3 ] &&
    [ "$(grep -c -- '--hotspot-x=5 --hotspot-y=7' "$work/listed")" = 2 ] &&
    grep -q -- '--hotspot-x=2 --hotspot-y=3' "$work/listed" || fail "cursor --add: $(cat "$work/listed")"
  run save "$image" "$work/c.cur" --depth 32 --hotspot 9,1
  "$icohost" list "$work/c.cur" | grep -q "24x24, 32 bpp, hot spot 9,1" ||
    fail "cursor --hotspot: $("$icohost" list "$work/c.cur")"
fi
run save "$image" "$work/new.cur"
[ "$("$icohost" list "$work/new.cur")" = "1 24x24, 32 bpp, hot spot 0,0" ] ||
  fail "new cursor: $("$icohost" list "$work/new.cur")"
run save "$image" "$work/given.cur" --hotspot 23,4
[ "$("$icohost" list "$work/given.cur")" = "1 24x24, 32 bpp, hot spot 23,4" ] ||
  fail "new cursor with a hot spot: $("$icohost" list "$work/given.cur")"
clean_tmp "cursors"

# What the module cannot do is said before it is asked: usage errors (2)
# and a picture beyond the module's declared size (1), the destination kept.
cp "$sample" "$work/u.ico"
expect_refusal() {
  local status=$1 text=$2
  shift 2
  "$icohost" "$@" 2>"$work/err"
  local got=$?
  [ $got = "$status" ] && grep -q -- "$text" "$work/err" || fail "icohost $* exited $got: $(cat "$work/err")"
}
expect_refusal 2 "has 5 images (1 to 5), so --delete 9 names none" save "$image" "$work/u.ico" --delete 2,9
expect_refusal 2 "--hotspot is for cursors" save "$image" "$work/u.ico" --hotspot 1,1
expect_refusal 2 "lies outside the 24 x 24 picture" save "$image" "$work/x.cur" --hotspot 24,0
python3 -c '
import struct, sys, zlib
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
rows = b"".join(b"\0" + b"\x80" * 512 * 4 for _ in range(512))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 512, 512, 8, 6, 0, 0, 0))
                        + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))' >"$work/big.png"
expect_refusal 1 "the module takes images up to 256 × 256 (its property list); $work/big.png is 512 × 512" \
  save "$work/big.png" "$work/u.ico"
cmp -s "$sample" "$work/u.ico" || fail "a refused save changed the destination"
expect_refusal 2 "--sizes 32 is larger than the 24 x 24 picture" save "$image" "$work/u.ico" --sizes 16,32
clean_tmp "refusals"

# One picture, a whole icon: --fit brings the large picture within 256 x 256,
# the shorthands take the sizes below it, and a size as large as the picture
# is the picture itself.
run save "$work/big.png" "$work/whole.ico" --fit --sizes windows
[ "$("$icohost" list "$work/whole.ico" | tr '\n' ';')" = \
  "1 256x256, 32 bpp, packed;2 48x48, 32 bpp;3 32x32, 32 bpp;4 24x24, 32 bpp;5 16x16, 32 bpp;" ] ||
  fail "--fit --sizes windows: $("$icohost" list "$work/whole.ico")"
run save "$image" "$work/fav.ico" --sizes favicon --depth 8
[ "$("$icohost" list "$work/fav.ico" | tr '\n' ';')" = "1 24x24, 256 colors;2 16x16, 256 colors;" ] ||
  fail "--sizes favicon: $("$icohost" list "$work/fav.ico")"
run save "$image" "$work/same.ico" --sizes 16,24
[ "$(count "$work/same.ico")" = 2 ] || fail "--sizes 16,24 of a 24 x 24 picture: $("$icohost" list "$work/same.ico")"
clean_tmp "smaller sizes"

[ "$failures" = 0 ] && echo "save_cli_test: all passed"
exit $((failures > 0))
