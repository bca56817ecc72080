#!/usr/bin/env bash
# Runs the Windows GoogleTest program under wine64 in a fresh copy of the
# seeded template prefix. Extra arguments go to the test program
# (e.g. --gtest_filter=Folders*). Exit code: the test program's.
#   VELTO_WIN_TESTS_EXE   test program (default: dist/win64, else build/win64)
#   VELTO_WIN_TEST_TIMEOUT  seconds for the whole run (default 900)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/prefix.sh"

exe=${VELTO_WIN_TESTS_EXE:-}
if [ -z "$exe" ]; then
  for exe in "$VELTO_ROOT/dist/win64/velto_win_tests.exe" "$VELTO_ROOT/build/win64/velto_win_tests.exe"; do
    [ -f "$exe" ] && break
  done
fi
[ -f "$exe" ] || die "no velto_win_tests.exe (run scripts/build.sh win64)"

wine_session_start wintests

# Each prepare script lays its own data into the prefix (files, digests, keys).
for prep in "$VELTO_ROOT"/tests/win/prepare_*.sh; do
  [ -f "$prep" ] || continue
  log "preparing: ${prep#"$VELTO_ROOT"/}"
  timeout 300 bash "$prep" "$WINEPREFIX" || die "$prep failed"
done

mkdir -p "$WINEPREFIX/drive_c/tests"
cp -f "$exe" "$WINEPREFIX/drive_c/tests/velto_win_tests.exe"
log "running ${exe#"$VELTO_ROOT"/} $*"
cd "$WINEPREFIX/drive_c/tests"
rc=0
wine_run "${VELTO_WIN_TEST_TIMEOUT:-900}" 'C:\tests\velto_win_tests.exe' "$@" || rc=$?
[ $rc -ne 124 ] || log "the Windows tests did not finish in time"
exit $rc
