#!/usr/bin/env bash
# Fetches Debian's libpng1.6 source package into DIR/libpng-src (once).
set -euo pipefail
dir=${1:?usage: fetch-libpng.sh DIR}
exec bash "$(dirname "$0")/fetch-debian-source.sh" "$dir" libpng1.6 libpng-src png.c
