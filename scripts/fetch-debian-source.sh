#!/usr/bin/env bash
# Fetches a Debian source package into DIR/NAME (once): the third-party
# sources the Windows builds compile (libpng1.6 as libpng-src, libdeflate as
# libdeflate-src). MARKER is a file of the tree that shows it is there.
set -euo pipefail
dir=${1:?usage: fetch-debian-source.sh DIR PACKAGE NAME MARKER}
package=${2:?usage: fetch-debian-source.sh DIR PACKAGE NAME MARKER}
name=${3:?usage: fetch-debian-source.sh DIR PACKAGE NAME MARKER}
marker=${4:?usage: fetch-debian-source.sh DIR PACKAGE NAME MARKER}
mkdir -p "$dir"
cd "$dir"
[ -f "$name/$marker" ] && exit 0
rm -rf "$name-fetch" && mkdir "$name-fetch" && cd "$name-fetch"
# The newest source may sit where only binaries are served (a security
# suite, say); the release's own source is then the one to take.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt-get source -qq "$package" >/dev/null 2>&1 ||
  { rm -rf ./*; [ -n "$codename" ] && apt-get source -qq "$package/$codename" >/dev/null 2>&1; } ||
  { rm -rf ./*; apt-get source "$package"; }
src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
[ -n "$src" ] || { echo "fetch-debian-source: no source tree of $package unpacked" >&2; exit 1; }
rm -rf "../$name"
mv "$src" "../$name"
cd .. && rm -rf "$name-fetch"
