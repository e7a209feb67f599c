#!/usr/bin/env bash
# Hosts share the temporary folder: four opens and four saves at once, round
# after round, each get exactly their own image, and nothing is left behind.
set -u
icohost=$1 corpus=$2 sample=$3 rounds=${4:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp/"
mkdir -p "$TMPDIR" "$work/ref"
n=$("$icohost" list "$sample" | wc -l)
for ((i = 1; i <= n; i++)); do "$icohost" extract "$sample" $i -o "$work/ref/$i.png" || exit 1; done

# One open or save and the check of its pixels; the reason on failure.
open_one() {
  "$icohost" open "$sample" --pick "$2" -o "$work/o$1.png" 2>&1 &&
    "$corpus" compare "$work/o$1.png" "$work/ref/$2.png" 2>&1
}
save_one() {
  rm -f "$work/s$1.ico"
  "$icohost" save "$work/ref/$2.png" "$work/s$1.ico" --depth 32 --no-png 2>&1 &&
    "$icohost" extract "$work/s$1.ico" 1 -o "$work/s$1.png" 2>&1 &&
    "$corpus" compare "$work/s$1.png" "$work/ref/$2.png" 2>&1
}

failures=0
for ((r = 1; r <= rounds; r++)); do
  pids=()
  for k in 1 2 3 4; do
    i=$(((r + k) % n + 1))
    open_one $k $i >"$work/log-o$k" &
    pids+=("$!:open $k image $i")
    save_one $k $i >"$work/log-s$k" &
    pids+=("$!:save $k image $i")
  done
  for entry in "${pids[@]}"; do
    wait "${entry%%:*}" || {
      echo "FAIL round $r: ${entry#*:}"
      cat "$work"/log-*
      failures=$((failures + 1))
    }
  done
done
left=$(find "$TMPDIR" -mindepth 1)
[ -z "$left" ] || { echo "FAIL: left in the temporary folder: $left"; failures=$((failures + 1)); }
[ "$failures" = 0 ] && echo "concurrent_cli_test: $rounds rounds of 4 opens and 4 saves, all passed"
exit $((failures > 0))
