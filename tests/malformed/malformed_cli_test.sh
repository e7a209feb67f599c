#!/usr/bin/env bash
# Every file of the malformed corpus through icohost: open gives the last
# readable image or exits 1 when there is none, check names an error in every
# file without images and prints JSON, and a save that adds an image to it
# succeeds with every readable image kept and nothing left behind.
set -u
icohost=$1 corpus=$2 image=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp/"
mkdir -p "$TMPDIR"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
clean_tmp() {
  local left
  left=$(find "$TMPDIR" -mindepth 1)
  [ -z "$left" ] || fail "$1 left in the temporary folder: $left"
  rm -rf "${TMPDIR:?}"/*
}
entries_max=512
cases=0
while IFS=$'\t' read -r name outcome images; do
  cases=$((cases + 1))
  file="$corpus/$name.ico"
  # Images expected: "3*16x16, 32 bpp" counts three.
  n=$(echo "$images" | awk -F';' '{ for (i = 1; i <= NF; i++) n += match($i, /^[0-9]+\*/) ? substr($i, 1, RLENGTH - 1) : 1 } END { print n + 0 }')
  "$icohost" open "$file" --pick $((n > 0 ? n : 1)) -o "$work/out.png" 2>"$work/err"
  status=$?
  if [ "$outcome" = opened ]; then
    [ $status = 0 ] && [ -s "$work/out.png" ] || fail "$name: open exited $status: $(cat "$work/err")"
  else
    [ $status = 1 ] || fail "$name: open of a file without images exited $status"
  fi
  rm -f "$work/out.png"
  clean_tmp "open $name"

  "$icohost" check --json "$file" >>"$work/checked.json"
  status=$?
  [ $status = 1 ] || { [ $status = 0 ] && [ "$outcome" = opened ]; } || fail "$name: check exited $status"

  cp "$file" "$work/dest.ico"
  "$icohost" save "$image" "$work/dest.ico" --add --depth 32 2>"$work/err" ||
    { fail "$name: save --add exited $?: $(cat "$work/err")"; continue; }
  listed=$("$icohost" list "$work/dest.ico" | wc -l)
  want=$((n + 1 > entries_max ? entries_max : n + 1))
  if [ "$outcome" = opened ]; then
    [ "$listed" = "$want" ] || fail "$name: $listed images after adding one to $n"
  else
    [ "$listed" -ge 1 ] || fail "$name: no image after adding one"
  fi
  # A cursor stays one: its images are listed with their hot spots.
  "$icohost" list "$work/dest.ico" | grep -Eq " 24x24, 32 bpp(, hot spot [0-9]+,[0-9]+)?$" ||
    fail "$name: the added image is missing"
  clean_tmp "save into $name"
done <"$corpus/expected.txt"
[ "$cases" -gt 50 ] || fail "only $cases cases"
/usr/bin/python3 -c 'import json, sys; [json.loads(line) for line in sys.stdin]' <"$work/checked.json" ||
  fail "check --json printed what is no JSON object per line"
[ "$(wc -l <"$work/checked.json")" = "$cases" ] || fail "check --json printed no line per file"
echo "$cases cases, $failures failures"
[ "$failures" = 0 ]
