#!/usr/bin/env bash
# Builds the package-reader fuzz target with clang (libFuzzer, ASan, UBSan)
# and runs it briefly from a seed corpus of real packages.
#   tests/fuzz/run_smoke.sh [seconds]      default 20
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-20}
out=$root/build/fuzz
mkdir -p "$out/corpus"
command -v clang++ >/dev/null || { echo "clang++ not installed: fuzz smoke skipped"; exit 0; }

srcs=(
  tests/fuzz/package_reader_fuzz.cpp
  src/app/package_reader.cpp src/app/zip_format.cpp src/app/zip_names.cpp src/app/archive_io.cpp
  src/app/descrypt.cpp src/app/des_tables.cpp src/app/member_text.cpp src/app/worker_threads.cpp
  src/platform/text.cpp src/platform/codepage_posix.cpp src/platform/file_io.cpp src/platform/file_io_posix.cpp
)
cd "$root"
if [ ! -x "$out/package_reader_fuzz" ] || [ -n "$(find "${srcs[@]}" -newer "$out/package_reader_fuzz" | head -1)" ]; then
  clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc "${srcs[@]}" -lz -lpthread -o "$out/package_reader_fuzz"
fi

# Seeds: a small plain ZIP and the same as an encrypted package ('!' prefix
# makes the target wrap it into a container).
seed=$out/seed
rm -rf "$seed" && mkdir -p "$seed/in/sub"
printf 'Version:1.0\r\n' > "$seed/in/a.txt"
head -c 3000 /dev/urandom > "$seed/in/sub/b.bin"
(cd "$seed" && python3 - <<'PY'
import zipfile, io
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w', zipfile.ZIP_DEFLATED) as z:
    z.write('in/a.txt'); z.write('in/sub/b.bin'); z.writestr('../x', 'y')
open('../corpus/plain.zip', 'wb').write(buf.getvalue())
open('../corpus/wrapped.bin', 'wb').write(b'!' + buf.getvalue())
PY
)
"$out/package_reader_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 12
