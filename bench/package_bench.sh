#!/usr/bin/env bash
# Package-stage benchmark. Generates a corpus of at least 300 MB in /tmp (text
# logs, binaries, incompressible data, many small files), then prints:
#  - our package stage (ZIP at level 8 + DES container): wall time, throughput, peak memory;
#  - the standard tools in sequence: zip -8 -r, zero padding, openssl enc -des-ecb;
#  - the ratio of the two;
#  - the same package stage on a corpus twice as large (peak memory);
#  - DES throughput against `openssl speed -evp des-ecb` on one core.
#   bench/package_bench.sh [corpus-root]     default /tmp/velto-bench
# Heavy: run it alone. Keep the corpus with KEEP_CORPUS=1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
base=${1:-/tmp/velto-bench}
corpus=$base/corpus
big=$base/corpus2x
work=$base/work
bin=$root/build/native/package_bench

if [ ! -x "$bin" ]; then
  cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/native" --target package_bench -j 2 >/dev/null
fi

mb() { du -sml --apparent-size "$1" | cut -f1; }  # -l: hard links count

if [ ! -f "$corpus/.done" ]; then
  echo "generating corpus in $corpus ..."
  rm -rf "$base" && mkdir -p "$corpus/logs" "$corpus/bin" "$corpus/noise" "$corpus/small"
  # Text logs: ~130 MB of varied log lines.
  python3 - "$corpus/logs" <<'PY'
import random, sys, os
random.seed(1)
words = ("service started stopped update scan quarantine engine signature connection timeout "
         "retry user admin registry value driver module loaded failed success warning error").split()
for n in range(14):
    with open(os.path.join(sys.argv[1], f"product{n}.log"), "w", newline="\r\n") as f:
        size = 0
        t = 1700000000 + n * 100000
        while size < 10_000_000:
            t += random.randint(0, 3)
            line = "%d [%04X] %s %s %s id=%d path=C:\\Program Files\\Velto\\%s.dll\n" % (
                t, random.randint(0, 65535), random.choice(words), random.choice(words),
                random.choice(words), random.randint(0, 10**6), random.choice(words))
            f.write(line)
            size += len(line) + 1
PY
  # Binaries: ~90 MB of real shared libraries and programs, none above 8 MB
  # (one 100 MB library would make the run a test of that single member:
  # a member is one deflate stream, compressed by one core).
  total=0
  for f in /usr/lib/x86_64-linux-gnu/*.so* /usr/bin/*; do
    [ -f "$f" ] && [ ! -L "$f" ] || continue
    s=$(stat -c %s "$f")
    [ "$s" -gt 20000 ] && [ "$s" -lt 8000000 ] || continue
    cp "$f" "$corpus/bin/" 2>/dev/null || continue
    total=$((total + s))
    [ $total -lt 90000000 ] || break
  done
  # Incompressible data: 6 x 10 MB.
  for i in 1 2 3 4 5 6; do head -c 10000000 /dev/urandom > "$corpus/noise/blob$i.bin"; done
  # Many small files: 5000 files of 1-9 KB (parts of the logs), in 50 folders.
  python3 - "$corpus/small" "$corpus/logs/product0.log" <<'PY'
import random, sys, os
random.seed(2)
src = open(sys.argv[2], "rb").read()
for d in range(50):
    os.makedirs(os.path.join(sys.argv[1], f"dir{d}"), exist_ok=True)
    for i in range(100):
        size = random.randint(1000, 9000)
        off = random.randint(0, len(src) - size)
        open(os.path.join(sys.argv[1], f"dir{d}", f"f{i}.txt"), "wb").write(src[off:off + size])
PY
  touch "$corpus/.done"
fi
if [ ! -d "$big" ]; then
  mkdir -p "$big" && cp -al "$corpus" "$big/a" && cp -al "$corpus" "$big/b"
  find "$big" -name .done -delete
fi
rm -f "$corpus/.done.tmp"
echo "corpus: $(mb "$corpus") MB in $(find "$corpus" -type f ! -name .done | wc -l) files; 2x corpus: $(mb "$big") MB"

mkdir -p "$work"
sync
# The machine may be shared: each side runs twice and the faster run counts;
# CPU seconds (all threads) are printed too, as a load-independent figure.
echo "== package stage (zip level 8 + DES container), best of 2 =="
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
ours=; ours_cpu=; peak=0
for run in 1 2; do
  out=$(cd "$work" && "$bin" pack "$corpus" "$work")
  echo "run $run: $out"
  t=$(sed -n 's/.*seconds=\([0-9.]*\) cpu.*/\1/p' <<<"$out")
  p=$(sed -n 's/.*peak_rss_mib=\([0-9.]*\).*/\1/p' <<<"$out")
  ours=$(awk -v a="${ours:-1e9}" -v b="$t" 'BEGIN { print (b < a ? b : a) }')
  c=$(sed -n 's/.*cpu_seconds=\([0-9.]*\).*/\1/p' <<<"$out")
  ours_cpu=$(awk -v a="${ours_cpu:-1e9}" -v b="$c" 'BEGIN { print (b < a ? b : a) }')
  peak=$(awk -v a="$peak" -v b="$p" 'BEGIN { print (b > a ? b : a) }')
  rm -f "$work"/qn_logs_bench.log
done
size=$(mb "$corpus")
awk -v s="$size" -v t="$ours" 'BEGIN { printf "best: %.2f s, throughput %.1f MB/s of input\n", t, s / t }'

echo "== standard tools: zip -8 -r, pad, openssl enc -des-ecb, best of 2 =="
std=; std_cpu=
for run in 1 2; do
  rm -f "$work/std.zip" "$work/std.enc"
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$work/zip.cpu" sh -c "cd '$corpus' && zip -8 -r -q '$work/std.zip' . -x .done"
  len=$(stat -c %s "$work/std.zip")
  truncate -s $(( (len + 7) / 8 * 8 )) "$work/std.zip"
  /usr/bin/time -f "%U %S" -o "$work/enc.cpu" openssl enc -des-ecb -nopad -provider legacy -provider default \
    -K 78E1CAD6C76C656F -in "$work/std.zip" -out "$work/std.enc"
  end=$(date +%s.%N)
  t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
  cpu=$(cat "$work/zip.cpu" "$work/enc.cpu" | awk '{ s += $1 + $2 } END { printf "%.2f", s }')
  echo "run $run: seconds=$t cpu_seconds=$cpu archive_mb=$(awk -v l="$len" 'BEGIN { printf "%.1f", l / 1e6 }')"
  std=$(awk -v a="${std:-1e9}" -v b="$t" 'BEGIN { print (b < a ? b : a) }')
  std_cpu=$(awk -v a="${std_cpu:-1e9}" -v b="$cpu" 'BEGIN { print (b < a ? b : a) }')
done
rm -f "$work/std.zip" "$work/std.enc" "$work"/*.cpu
awk -v o="$ours" -v s="$std" 'BEGIN { printf "ratio ours/standard (best runs): %.2f (target <= 0.50)\n", o / s }'
awk -v o="$ours_cpu" -v s="$std_cpu" -v w="$ours" 'BEGIN {
  printf "CPU seconds ours/standard: %.2f / %.2f = %.2f; ours used %.2f cores on average\n", o, s, o / s, o / w }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "peak memory (corpus of $size MB): ${peak} MiB (target <= 64)"

echo "== package stage on the 2x corpus (memory) =="
out2=$(cd "$work" && "$bin" pack "$big" "$work")
echo "$out2"
rm -f "$work"/qn_logs_bench.log

echo "== DES throughput, one core =="
"$bin" des 256
openssl speed -seconds 3 -provider legacy -provider default -evp des-ecb 2>/dev/null | tail -1
ours_des=$("$bin" des 256 | sed 's/.*=//')
ossl=$(openssl speed -seconds 3 -provider legacy -provider default -evp des-ecb 2>/dev/null | tail -1 | awk '{print $NF}' | tr -d k)
awk -v o="$ours_des" -v s="$ossl" 'BEGIN { printf "DES ratio ours/openssl (16 KiB blocks): %.2f (target >= 1.0)\n", o / (s / 1000) }'
[ "${KEEP_CORPUS:-0}" = 1 ] || rm -rf "$base"
