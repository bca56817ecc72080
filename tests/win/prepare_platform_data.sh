#!/usr/bin/env bash
# Lays the files for the file-digest tests of velto_win_tests.exe into a Wine
# prefix, with their digests as md5sum computes them (the expected values come
# from outside the program under test).
#   tests/win/prepare_platform_data.sh <wineprefix>
# Files land in C:\velto_platform_data\md5\ with digests.txt beside them.
# VELTO_MD5_HUGE=1 adds a sparse file of just over 4 GiB, the size where a
# 32-bit length wraps around (slow: md5sum and the test each read 4 GiB).
set -euo pipefail
prefix=${1:?usage: $0 <wineprefix>}
[ -d "$prefix/drive_c" ] || { echo "no drive_c in $prefix" >&2; exit 2; }
dir="$prefix/drive_c/velto_platform_data/md5"
rm -rf "$dir"
mkdir -p "$dir"
mib=$((1024 * 1024))
# Sizes around the MD5 block and padding edges, the 1 MiB read size, and one
# file above 64 MiB.
sizes=(0 1 55 56 63 64 65 $((mib - 1)) $mib $((mib + 1)) $((70 * mib + 3)))
for size in "${sizes[@]}"; do
  head -c "$size" /dev/urandom > "$dir/f$size.bin"
done
if [ "${VELTO_MD5_HUGE:-0}" = 1 ]; then
  truncate -s $((4 * 1024 * mib)) "$dir/huge.bin"
  printf 'tail after four gigabytes' >> "$dir/huge.bin"
fi
(cd "$dir" && md5sum -- *.bin > digests.txt)
echo "prepared $(wc -l < "$dir/digests.txt") files in $dir"
