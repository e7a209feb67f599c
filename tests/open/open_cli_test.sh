#!/usr/bin/env bash
# Every image of a corpus of icons and cursors opened through the module with
# icohost equals, in RGBA, what icohost extract reads directly; cancelled and
# failed opens exit 1; nothing of ours stays in the temporary folder.
set -u
icohost=$1 corpus=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp/"
mkdir -p "$TMPDIR" "$work/in" "$work/out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
clean_tmp() {
  local left
  left=$(find "$TMPDIR" -type f)
  [ -z "$left" ] || fail "$1 left in the temporary folder: $left"
}

"$corpus" make "$work/in" || { echo "FAIL: cannot make the corpus"; exit 1; }
cp "$sample" "$work/in/sample.ico"

opened=0
for icon in depths.ico odd.ico png.ico big.ico pointer.cur disagree.ico one.ico sample.ico; do
  n=$("$icohost" list "$work/in/$icon" | wc -l)
  [ "$n" -gt 0 ] || fail "$icon lists no image"
  for ((i = 1; i <= n; i++)); do
    out="$work/out/${icon%.*}-$i"
    "$icohost" extract "$work/in/$icon" $i -o "$out-direct.png" || fail "extract $icon $i exited $?"
    "$icohost" open "$work/in/$icon" --pick $i -o "$out-open.png" 2>"$work/err" ||
      { fail "open $icon --pick $i exited $?: $(cat "$work/err")"; continue; }
    "$corpus" compare "$out-open.png" "$out-direct.png" 2>"$work/err" ||
      fail "$icon image $i differs from the direct read: $(cat "$work/err")"
    opened=$((opened + 1))
    clean_tmp "open $icon --pick $i"
  done
done
[ "$opened" = 30 ] || fail "only $opened images opened"

# Escape in the form: nothing opened, nothing left.
"$icohost" open "$work/in/depths.ico" --pick 2 --cancel -o "$work/out/cancel.png" 2>/dev/null
[ $? = 1 ] || fail "a cancelled open did not exit 1"
[ -e "$work/out/cancel.png" ] && fail "a cancelled open wrote its output"
clean_tmp "a cancelled open"
# One image: no form to cancel.
"$icohost" open "$work/in/one.ico" --cancel -o "$work/out/one.png" || fail "one.ico showed a form"
clean_tmp "open one.ico"

# An answer that names no image is a usage error that says which there are.
"$icohost" open "$sample" --pick 9 -o "$work/out/nine.png" 2>"$work/err"
[ $? = 2 ] && grep -q "has 5 images (1 to 5), so --pick 9 names none" "$work/err" ||
  fail "open --pick 9: $(cat "$work/err")"
[ -e "$work/out/nine.png" ] && fail "open --pick 9 wrote its output"
# A PNG entry counts only when it decodes: the sample's 256 x 256 entry, its
# header whole but its compressed stream broken, leaves four.
/usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); i = d.index(b"IDAT"); d[i + 4:i + 8] = bytes(4); open(sys.argv[2], "wb").write(d)' \
  "$sample" "$work/in/broken-png.ico"
"$icohost" open "$work/in/broken-png.ico" --pick 5 -o "$work/out/five.png" 2>"$work/err"
[ $? = 2 ] && grep -q "has 4 images (1 to 4), so --pick 5 names none" "$work/err" ||
  fail "open --pick 5 of a broken PNG entry: $(cat "$work/err")"

for bad in text.ico empty.ico unreadable.ico zeros.ico; do
  # A PNG of the temporary name in the shared folder is someone else's: never
  # opened instead, never touched.
  cp "$work/out/one.png" "$TMPDIR/${bad%.*}.png"
  "$icohost" open "$work/in/$bad" -o "$work/out/bad.png" 2>"$work/err"
  [ $? = 1 ] && grep -q "the module returned 1" "$work/err" || fail "open $bad: $(cat "$work/err")"
  [ -e "$work/out/bad.png" ] && fail "open $bad wrote its output"
  grep -q "message box" "$work/err" && fail "open $bad showed a message: $(cat "$work/err")"
  cmp -s "$work/out/one.png" "$TMPDIR/${bad%.*}.png" || fail "open $bad touched $TMPDIR/${bad%.*}.png"
  rm -f "$TMPDIR/${bad%.*}.png"
  clean_tmp "open $bad"
done

[ "$failures" = 0 ] && echo "open_cli_test: $opened images, all passed"
exit $((failures > 0))
