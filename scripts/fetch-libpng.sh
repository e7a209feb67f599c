#!/usr/bin/env bash
# Fetches Debian's libpng1.6 source package into DIR/libpng-src (once).
set -euo pipefail
dir=${1:?usage: fetch-libpng.sh DIR}
mkdir -p "$dir"
cd "$dir"
[ -f libpng-src/png.c ] && exit 0
rm -rf libpng-fetch && mkdir libpng-fetch && cd libpng-fetch
# The newest source may sit where only binaries are served (a security
# suite, say); the release's own source is then the one to take.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt-get source -qq libpng1.6 >/dev/null 2>&1 ||
  { rm -rf ./*; [ -n "$codename" ] && apt-get source -qq "libpng1.6/$codename" >/dev/null 2>&1; } ||
  { rm -rf ./*; apt-get source libpng1.6; }
src=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
[ -n "$src" ] || { echo "fetch-libpng: no source tree unpacked" >&2; exit 1; }
rm -rf ../libpng-src
mv "$src" ../libpng-src
cd .. && rm -rf libpng-fetch
