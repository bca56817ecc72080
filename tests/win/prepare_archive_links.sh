#!/usr/bin/env bash
# Lays a folder with Unix links into a Wine prefix for the archive's link
# tests: Wine shows a linked folder as a reparse point (0x410), which is the
# only way to get one there (CreateSymbolicLinkW does nothing, junctions are
# not supported).
#   tests/win/prepare_archive_links.sh <wineprefix>
# C:\velto_links\real\probe.txt, plus alias -> real and loop -> . beside it.
set -euo pipefail
prefix=${1:?usage: $0 <wineprefix>}
[ -d "$prefix/drive_c" ] || { echo "no drive_c in $prefix" >&2; exit 2; }
dir="$prefix/drive_c/velto_links"
rm -rf "$dir"
mkdir -p "$dir/real"
printf 'in a real folder' > "$dir/real/probe.txt"
ln -s real "$dir/alias"
ln -s . "$dir/loop"
echo "prepared linked folders in $dir"
