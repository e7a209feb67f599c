#!/usr/bin/env bash
# Installs everything the project builds, tests and cross-builds with, on Debian 12.
# Idempotent: a second run only checks.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git file
  libpng-dev zlib1g-dev libstb-dev libdeflate-dev libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 libz-mingw-w64-dev
  dpkg-dev icoutils imagemagick python3-pil clang-format
  wine64 fonts-wine xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The Windows builds compile libpng from Debian's own source package, so apt
# needs deb-src entries: copies of the machine's own deb entries, so that the
# sources come from wherever its binary packages come from.
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  deb822=""
  oneline=""
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    deb822+="$(sed -e 's/^Types:.*/Types: deb-src/' "$f")"$'\n\n'
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    oneline+="$(sed -n 's/^deb \(.*\)/deb-src \1/p' "$f")"$'\n'
  done
  if [ -z "${deb822//[$'\n']/}" ] && [ -z "${oneline//[$'\n']/}" ]; then
    echo "setup: no apt source entry to derive a deb-src entry from" >&2
    exit 1
  fi
  [ -z "${deb822//[$'\n']/}" ] || printf '%s' "$deb822" | $sudo tee /etc/apt/sources.list.d/icofmt-src.sources >/dev/null
  [ -z "${oneline//[$'\n']/}" ] || printf '%s' "$oneline" | $sudo tee /etc/apt/sources.list.d/icofmt-src.list >/dev/null
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Debian's wine64 keeps its loader out of PATH; the Wine tests look for it
# there (tests/windows/wine_env.sh).
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || {
  echo "setup: wine64 installed but its loader was not found" >&2
  exit 1
}
echo "setup: all packages present"
