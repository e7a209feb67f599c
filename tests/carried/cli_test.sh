#!/usr/bin/env bash
# icohost on the command line: exit statuses, messages, and the carried
# module's round trip of a PNG in every mode that the sample can take.
set -u
icohost=$1 carried=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WANT_STATUS PATTERN -- command...
  local want=$1 pattern=$2; shift 3
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" != "$want" ] || { [ -n "$pattern" ] && ! grep -q -- "$pattern" "$work/out" "$work/err"; }; then
    echo "FAIL: $* -> $got (want $want, /$pattern/)"; cat "$work/err"; failures=$((failures + 1))
  fi
}
check 0 "icohost save IMAGE.png FILE" -- "$icohost" --help
check 2 "usage" -- "$icohost" open "$sample"
check 2 "unknown option" -- "$icohost" save a.png b.ico --bogus
check 2 "--depth takes" -- "$icohost" save a.png b.ico --depth 7
check 0 "ENTRYPOINT1" -- "$icohost" info --module "$carried"
check 1 "cannot open" -- "$icohost" open "$work/missing.png" -o "$work/x.png" --module "$carried"
printf 'not a png at all' >"$work/bad.png"
check 1 "the module returned -30501" -- "$icohost" open "$work/bad.png" -o "$work/x.png" --module "$carried"
[ -e "$work/x.png" ] && { echo "FAIL: a failed open wrote its output"; failures=$((failures + 1)); }
check 1 "the module returned -128" -- "$icohost" save "$sample" "$work/c.png" --cancel --module "$carried"
[ -e "$work/c.png" ] && { echo "FAIL: a cancelled save left a file"; failures=$((failures + 1)); }
# The icon module never hands its carried module a handle that is not its own
# temporary file: standard input here, had "no handle" been descriptor 0.
mkdir -p "$work/tmp"
TMPDIR="$work/tmp" "$icohost" open "$work/bad.png" -o "$work/y.png" <"$sample" >/dev/null 2>&1
status=$?
if [ "$status" != 1 ] || [ -e "$work/y.png" ] || [ -n "$(ls -A "$work/tmp")" ]; then
  echo "FAIL: opening a non-icon with a PNG on standard input -> $status"; failures=$((failures + 1))
fi
for mode in rgb gray bitmap; do
  check 0 "" -- "$icohost" save "$sample" "$work/$mode.png" --mode $mode --module "$carried"
  check 0 "" -- "$icohost" open "$work/$mode.png" -o "$work/$mode-open.png" --module "$carried"
  check 0 "" -- "$icohost" save "$work/$mode-open.png" "$work/$mode-again.png" --plain-save --module "$carried"
  cmp -s "$work/$mode.png" "$work/$mode-again.png" || { echo "FAIL: $mode round trip differs"; failures=$((failures + 1)); }
done
[ "$failures" = 0 ] && echo "cli_test: all passed"
exit $((failures > 0))
