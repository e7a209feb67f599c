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

# An 8-bit RGBA PNG entry's image data is written as stored, with nothing
# but IHDR and IEND around it: the sample's gAMA, cHRM and bKGD, or a gAMA
# of 1.0, would make a viewer show other colours than the samples. One whose
# alpha is 0 everywhere is encoded afresh from what the module hands over
# (it shows through its mask: every pixel transparent black).
python3 - "$sample" "$work" <<'PY' || fail "could not make the PNG variants"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<H", data, 4)[0]
for i in range(count):
    w, h, cc, r, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
    block = data[offset:offset + size]
    if block[:8] == b"\x89PNG\r\n\x1a\n":
        break
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
def icon(png, name):
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), 22)
    open(sys.argv[2] + "/" + name, "wb").write(struct.pack("<HHH", 0, 1, 1) + entry + png)
bare, at = block[:8], 8
while at < len(block):
    n = struct.unpack_from(">I", block, at)[0]
    if block[at + 4:at + 8] in (b"IHDR", b"IDAT"):
        bare += block[at:at + 12 + n]
    at += 12 + n
bare += chunk(b"IEND", b"")
open(sys.argv[2] + "/bare.png", "wb").write(bare)
icon(bare[:33] + chunk(b"gAMA", struct.pack(">I", 100000)) + bare[33:], "gamma.ico")
raw = b"".join(b"\0" + bytes([9, 8, 7, 0]) * 4 for _ in range(4))
icon(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 6, 0, 0, 0))
     + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""), "clear.ico")
PY
cmp -s "$work/5.png" "$work/bare.png" || fail "the sample's RGBA PNG entry was not written as its bare image data"
"$icohost" extract "$work/gamma.ico" 1 -o "$work/gamma.png" || fail "extract of gamma.ico exited $?"
cmp -s "$work/gamma.png" "$work/bare.png" || fail "the entry with a gAMA chunk was not written as its bare image data"
"$icohost" extract "$work/clear.ico" 1 -o "$work/clear.png" || fail "extract of clear.ico exited $?"
python3 - "$work/clear.png" <<'PY' || fail "an all-transparent PNG entry is not extracted as transparent black"
import sys, zlib
d = open(sys.argv[1], "rb").read()
at, idat = 8, b""
while at < len(d):
    n = int.from_bytes(d[at:at + 4], "big")
    if d[at + 4:at + 8] == b"IDAT":
        idat += d[at + 8:at + 8 + n]
    at += 12 + n
raw = zlib.decompress(idat)
assert d[25] == 6 and len(raw) == 4 * 17, "not a 4 x 4 RGBA PNG"
assert all(b == 0 for i, b in enumerate(raw) if i % 17), "pixels are not all 0"
PY

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
