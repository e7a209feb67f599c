#!/usr/bin/env bash
# icohost list, extract and check on the built-in sample icon.
set -u
icohost=$1 sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$icohost" list "$sample" >"$work/list" || fail "list exited $?"
printf '%s\n' "1 16x16, 16 colors" "2 24x24, 256 colors" "3 32x32, 32 bpp" "4 48x48, 32 bpp" \
  "5 256x256, 32 bpp, packed" | cmp -s - "$work/list" || { fail "list printed:"; cat "$work/list"; }

for n in 1 2 3 4 5; do
  "$icohost" extract "$sample" $n -o "$work/$n.png" || fail "extract $n exited $?"
  head -c 8 "$work/$n.png" | cmp -s - <(printf '\x89PNG\r\n\x1a\n') || fail "extract $n wrote no PNG"
done
file "$work/5.png" | grep -q "256 x 256, 8-bit/color RGBA" || fail "image 5: $(file "$work/5.png")"
file "$work/1.png" | grep -q "16 x 16" || fail "image 1: $(file "$work/1.png")"

"$icohost" extract "$sample" 6 -o "$work/6.png" 2>"$work/err"
[ $? = 1 ] && grep -q "has 5 images, not 6" "$work/err" || fail "extract 6: $(cat "$work/err")"
[ -e "$work/6.png" ] && fail "a failed extract wrote its output"
"$icohost" extract "$sample" 0 -o "$work/0.png" 2>/dev/null
[ $? = 2 ] || fail "extract 0 is a usage error"
printf 'not an icon' >"$work/bad.ico"
"$icohost" list "$work/bad.ico" 2>"$work/err"
[ $? = 1 ] && grep -q "holds no icon image" "$work/err" || fail "list of a non-icon: $(cat "$work/err")"
"$icohost" list "$work/missing.ico" 2>/dev/null
[ $? = 1 ] || fail "list of a missing file"

"$icohost" extract "$sample" --all -o "$work/all" || fail "extract --all exited $?"
for name in sample-1-16x16 sample-2-24x24 sample-3-32x32 sample-4-48x48 sample-5-256x256; do
  cmp -s "$work/all/$name.png" "$work/${name:7:1}.png" || fail "extract --all wrote no $name.png like extract"
done
[ "$(ls "$work/all" | wc -l)" = 5 ] || fail "extract --all wrote $(ls "$work/all")"

# check: the sample is clean; what is no icon, or no file, is an error
# (a folder too, at once), and no file at all is a usage error.
[ "$("$icohost" check "$sample")" = "$sample: no findings" ] || fail "check of the sample"
[ "$("$icohost" check --json "$sample")" = "{\"file\":\"$sample\",\"errors\":0,\"warnings\":0,\"notes\":0,\"findings\":[]}" ] ||
  fail "check --json of the sample: $("$icohost" check --json "$sample")"
odd="$work/$(printf 'odd\377"\tname.ico')"
cp "$sample" "$odd"
"$icohost" check --json "$odd" | /usr/bin/python3 -c 'import json, sys; json.loads(sys.stdin.buffer.read().decode())' ||
  fail "check --json of a name that is no UTF-8 printed no JSON"
"$icohost" check "$sample" "$work/bad.ico" "$work" >"$work/out"
[ $? = 1 ] && [ "$(grep -c ': error ' "$work/out")" = 3 ] || fail "check of faulty files: $(cat "$work/out")"
"$icohost" check 2>/dev/null
[ $? = 2 ] || fail "check without a file is a usage error"
# A pipe is refused at once by every command, never waited on.
mkfifo "$work/pipe.ico"
for command in "check $work/pipe.ico" "list $work/pipe.ico" "extract $work/pipe.ico 1 -o $work/p.png" \
  "open $work/pipe.ico -o $work/p.png" "save $work/1.png $work/pipe.ico"; do
  # shellcheck disable=SC2086
  timeout 20 "$icohost" $command >/dev/null 2>&1
  [ $? = 1 ] || fail "$command on a pipe did not fail at once"
done

[ "$failures" = 0 ] && echo "inspect_cli_test: all passed"
exit $((failures > 0))
