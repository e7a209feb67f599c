#!/usr/bin/env bash
# icohost beside icotool (icoutils) and ImageMagick on the same jobs, whole
# processes, in one run: every round runs each command once, in turn (each
# round beginning with another tool), so that a busy machine slows all tools
# alike. Prints a markdown table of medians and ratios, and the sizes of the
# icons each tool makes from one PNG.
#
#   bench/compare.sh [ROUNDS] [OUT.md]
#
# ICOHOST, ICOTOOL, IM_CONVERT and IM_IDENTIFY override the programs; by
# default icohost is the release build's. BATCH_ROUNDS (3) sets the rounds of
# the batch job, run when Wine's programs are there to take icons from.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
rounds="${1:-21}"
out="${2:-}"
icohost="${ICOHOST:-$here/../build/linux-release/src/host/icohost}"
icotool="${ICOTOOL:-$(command -v icotool || true)}"
first_of() { for p in "$@"; do command -v "$p" 2>/dev/null && return; done; true; }
# The versioned names are ImageMagick itself, never a wrapper in front of it.
convert="${IM_CONVERT:-$(first_of convert-im6.q16 convert-im6 convert)}"
identify="${IM_IDENTIFY:-$(first_of identify-im6.q16 identify-im6 identify)}"
for tool in "$icohost" "$icotool" "$convert" "$identify"; do
  [[ -x "$tool" ]] || { echo "compare.sh: missing $tool" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/icofmt-compare-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Deterministic inputs: a 256 x 256 icon picture with a soft round edge, its
# smaller sizes, a photograph-like plasma, and a seven-image icon (16 x 16 at
# 4 bits, 32 x 32 at 8, 16 to 48 at 32 and 256 x 256 at 32 bits as PNG).
"$convert" -seed 7 -size 256x256 plasma:fractal -depth 8 photo.png
"$convert" -seed 3 -size 256x256 plasma:fractal \
  \( -size 256x256 xc:black -fill white -draw "circle 128,128 128,10" -blur 0x2 \) \
  -alpha off -compose CopyOpacity -composite -depth 8 icon256.png
for s in 16 24 32 48; do "$convert" icon256.png -resize "${s}x${s}" -depth 8 "i$s.png"; done
"$icohost" save i16.png seven.ico --depth 4 --add
"$icohost" save i32.png seven.ico --depth 8 --add
for s in 16 24 32 48; do "$icohost" save "i$s.png" seven.ico --depth 32 --add; done
"$icohost" save icon256.png seven.ico --depth 32 --png --add
n="$("$icohost" list seven.ico | awk '/^[0-9]+ 256x256/ {print $1; exit}')"
[[ -n "$n" ]] || { echo "compare.sh: no 256 x 256 image in the test icon" >&2; exit 1; }

# Real icons for the batch job: those wrestool (icoutils) pulls out of
# Wine's programs and libraries, when Wine is installed.
mkdir -p batch
wrestool="$(command -v wrestool || true)"
if [[ -n "$wrestool" ]]; then
  find /usr/lib -path '*wine*' \( -name '*.dll' -o -name '*.exe' \) -type f 2>/dev/null | sort |
    while read -r program; do "$wrestool" -x -t 14 -o batch "$program" 2>/dev/null || true; done
fi
batch_count="$(find batch -name '*.ico' | wc -l)"

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$rounds" "$icohost" "$icotool" "$convert" "$identify" "$n" "${BATCH_ROUNDS:-3}" >table.md <<'EOF'
import os, statistics, subprocess, sys, time

rounds = int(sys.argv[1])
icohost, icotool, convert, identify, n = sys.argv[2:7]
i = int(n)
# job: [(tool, argv, file removed before each run)]; None where a tool has no
# way to do the job. The open job is the extract job of the other tools.
extract_icotool = [icotool, "-x", "-i", n, "-o", "x_icotool.png", "seven.ico"]
extract_im = [convert, f"seven.ico[{i - 1}]", "x_im.png"]
jobs = [
    ("list the images of an icon", [
        ("icohost", [icohost, "list", "seven.ico"], None),
        ("icotool", [icotool, "-l", "seven.ico"], None),
        ("ImageMagick", [identify, "seven.ico"], None)]),
    ("extract the 256 × 256 image", [
        ("icohost", [icohost, "extract", "seven.ico", n, "-o", "x_icohost.png"], None),
        ("icotool", extract_icotool, None),
        ("ImageMagick", extract_im, None)]),
    ("open it through the module (`icohost open`)", [
        ("icohost", [icohost, "open", "seven.ico", "--pick", n, "-o", "o_icohost.png"], None),
        ("icotool", extract_icotool, None),
        ("ImageMagick", extract_im, None)]),
    ("one-image icon from a 256 × 256 PNG", [
        ("icohost", [icohost, "save", "icon256.png", "one_icohost.ico"], "one_icohost.ico"),
        ("icotool", [icotool, "-c", "-o", "one_icotool.ico", "icon256.png"], "one_icotool.ico"),
        ("ImageMagick", [convert, "icon256.png", "one_im.ico"], "one_im.ico")]),
    ("8-bit icon from a photograph", [
        ("icohost", [icohost, "save", "photo.png", "p8_icohost.ico", "--depth", "8"], "p8_icohost.ico"),
        ("icotool", None, None),  # icotool stores the colours it is given; it cannot reduce them
        ("ImageMagick", [convert, "photo.png", "-colors", "256", "-type", "Palette", "BMP3:p8.bmp"], None)]),
]
times = {}
# Batch: every image of every icon, one process per icon, into a fresh
# folder; the total of each round, interleaved icon by icon.
batch_rounds = int(sys.argv[7])
icons = sorted(os.path.join("batch", f) for f in os.listdir("batch") if f.endswith(".ico"))
batch_job = f"every image of {len(icons)} icons from Wine's programs, a process per icon (total)"
if icons:
    import shutil
    for r in range(batch_rounds):
        total = {"icohost": 0.0, "icotool": 0.0}
        for tool in total:
            shutil.rmtree("batch-" + tool, ignore_errors=True)
            os.makedirs("batch-" + tool)
        for k, icon in enumerate(icons):
            pair = [("icohost", [icohost, "extract", icon, "--all", "-o", "batch-icohost"]),
                    ("icotool", [icotool, "-x", "-o", "batch-icotool", icon])]
            for tool, argv in pair[k % 2:] + pair[:k % 2]:
                start = time.perf_counter()
                done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                total[tool] += time.perf_counter() - start
                if done.returncode != 0:
                    sys.exit(f"compare.sh: {' '.join(argv)} failed")
        for tool, took in total.items():
            times.setdefault((batch_job, tool), []).append(took * 1000)
# Each round starts with another tool: the first to run after the previous
# job's ImageMagick pays for the caches it left (0.3 ms measured).
for r in range(rounds):
    for job, commands in jobs:
        for tool, argv, fresh in commands[r % len(commands):] + commands[:r % len(commands)]:
            if argv is None:
                continue
            if fresh and os.path.exists(fresh):
                os.remove(fresh)
            start = time.perf_counter()
            done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            took = time.perf_counter() - start
            if done.returncode != 0:
                sys.exit(f"compare.sh: {' '.join(argv)} failed")
            times.setdefault((job, tool), []).append(took * 1000)

def cell(job, tool):
    t = times.get((job, tool))
    return statistics.median(t) if t else None

def ms(v):
    return "—" if v is None else f"{v:.0f} ms" if v >= 1000 else f"{v:.1f} ms"

def ratio(a, b):
    return "—" if a is None or b is None else f"{a / b:.2f}"

print("| job | icohost | icotool | ImageMagick | icohost ÷ icotool | icohost ÷ ImageMagick |")
print("|---|---:|---:|---:|---:|---:|")
if icons:
    jobs.append((batch_job, []))
for job, _ in jobs:
    a, b, c = (cell(job, t) for t in ("icohost", "icotool", "ImageMagick"))
    print(f"| {job} | {ms(a)} | {ms(b)} | {ms(c)} | {ratio(a, b)} | {ratio(a, c)} |")
EOF

# The same 256 x 256 picture stored as a PNG entry by each tool: icotool
# stores the file it is given, ImageMagick encodes its own.
"$icohost" save icon256.png png_icohost.ico --depth 32 --png
"$icotool" -c -o png_icotool.ico --raw=icon256.png
"$convert" icon256.png png_im.ico
size() { stat -c %s "$1"; }
{
  echo "Medians of $rounds interleaved rounds, whole processes; load average $load_before before," \
    "$(cut -d' ' -f1-3 /proc/loadavg) after. The 8-bit job of ImageMagick writes an 8-bit BMP" \
    "(reduced with -colors 256); icotool cannot reduce colours."
  if [[ "$batch_count" -gt 0 ]]; then
    echo "The batch job (median of ${BATCH_ROUNDS:-3} rounds) extracts $batch_count icons that wrestool" \
      "pulls out of Wine's programs and libraries, with \`icohost extract --all\` and \`icotool -x\`."
  fi
  echo
  cat table.md
  echo
  echo "A one-image icon holding the 256 × 256 picture as PNG: icohost $(size png_icohost.ico) bytes," \
    "icotool (the input PNG as given) $(size png_icotool.ico) bytes, ImageMagick $(size png_im.ico) bytes."
} >result.md
cat result.md
if [[ -n "$out" ]]; then cp result.md "$out"; fi
