#!/usr/bin/env bash
# Runs every test: native unit tests under ASan/UBSan, the harness's own
# check, both Windows builds, the Windows tests under Wine, the end-to-end
# window test and the fuzz smoke.
# Works headless (it brings its own X server) and ends with "N passed, N failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/test-logs
started=$SECONDS

results=()   # "PASS|FAIL|SKIP<tab>name<tab>seconds<tab>note"
failed=0 passed=0

# Runs one tier, with its output both shown and kept in build/test-logs/.
step() {  # name command...
  local name=$1 t0=$SECONDS rc=0; shift
  printf '\n===== %s =====\n' "$name"
  "$@" 2>&1 | tee "$logs/${name//[^A-Za-z0-9]/_}.log" || rc=${PIPESTATUS[0]}
  if [ $rc -eq 0 ]; then passed=$((passed + 1)); results+=("PASS	$name	$((SECONDS - t0))	")
  else failed=$((failed + 1)); results+=("FAIL	$name	$((SECONDS - t0))	exit code $rc"); fi
  return $rc
}
not_run() {  # name reason
  failed=$((failed + 1)); results+=("FAIL	$1	0	not run: $2")
}
skipped() {  # name reason
  results+=("SKIP	$1	0	$2")
}

scripts/setup.sh
mkdir -p "$logs"

native_tests() {
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir build/native-asan --output-on-failure -j 2 --timeout 300
}

if step "native build (ASan/UBSan)" env VELTO_SANITIZE=1 scripts/build.sh native; then
  step "native unit tests (ASan/UBSan)" native_tests || true
else
  not_run "native unit tests (ASan/UBSan)" "native build failed"
fi

step "harness self-test" tests/e2e/selftest.sh || true

if step "win64 build" scripts/build.sh win64; then
  step "Windows tests under Wine" tests/wine/run_win_tests.sh || true
  step "end-to-end (window under Xvfb)" tests/e2e/e2e_test.sh || true
else
  not_run "Windows tests under Wine" "win64 build failed"
  not_run "end-to-end (window under Xvfb)" "win64 build failed"
fi

step "win32 release build" scripts/build.sh win32 || true

if [ -f tests/fuzz/run_smoke.sh ]; then
  step "fuzz smoke" bash tests/fuzz/run_smoke.sh || true
else
  skipped "fuzz smoke" "tests/fuzz/run_smoke.sh not present"
fi

total=$((SECONDS - started))
printf '\n===== summary =====\n'
for r in "${results[@]}"; do
  IFS=$'\t' read -r state name secs note <<<"$r"
  printf '%-5s %-32s %5s s  %s\n' "$state" "$name" "$secs" "$note"
done
printf 'wall time: %dm%02ds; logs in %s\n' $((total / 60)) $((total % 60)) "${logs#"$root"/}"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
