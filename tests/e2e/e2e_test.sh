#!/usr/bin/env bash
# End to end: the real program in a fresh seeded prefix under Xvfb, driven
# through its window; then the package it left on the Desktop.
#   tests/e2e/e2e_test.sh            uses dist/win64/VeltoInfo.exe
#   VELTO_E2E_EXE=path/to/exe ...    another build of the program
# Screenshots and the program's log land in out/e2e/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/prefix.sh"
source "$here/velto_window.sh"
source "$here/package_check.sh"

exe=${VELTO_E2E_EXE:-$VELTO_ROOT/dist/win64/VeltoInfo.exe}
art=$VELTO_ROOT/out/e2e
[ -f "$exe" ] || die "no program at $exe (run scripts/build.sh win64)"
rm -rf "$art" && mkdir -p "$art"

failed=0 passed=0
check() {  # description command...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "PASS  $what"
  else failed=$((failed + 1)); echo "FAIL  $what"; fi
}

wine_session_start e2e
user_dir=$(wine_user_dir "$WINEPREFIX")
user=${user_dir##*/}
day_before=$(date +%Y%m%d)
velto_press_button "$exe" "$art"
day_after=$(date +%Y%m%d)
cp -f "$VELTO_APP_LOG" "$art/app.log" 2>/dev/null || true

echo "message box: \"$VELTO_MSG_CAPTION\": $(show_text "$VELTO_MSG_TEXT")"
echo "exit code:   $VELTO_EXIT_CODE"
echo "screenshot:  ${VELTO_SHOT:-none}"

# The run may cross midnight: either day's name is right.
text_names_package() {
  local day
  for day in "$day_before" "$day_after"; do
    [ "$VELTO_MSG_TEXT" = "$VELTO_SUCCESS_TEXT"$'\r'"C:\\users\\$user\\Desktop\\qn_logs_$day.log" ] && return 0
  done
  return 1
}
check "window \"$VELTO_CAPTION\" appeared" test -n "$VELTO_WINDOW"
check "message box caption is \"Information\"" test "$VELTO_MSG_CAPTION" = Information
check "success text names the package on the user's Desktop (bare CR)" text_names_package
check "process exit code is 0" test "$VELTO_EXIT_CODE" = 0
check "package exists and is not empty" test -s "${VELTO_PACKAGE:-/nonexistent}"
leftover=$(find "$user_dir" "$WINEPREFIX/drive_c/windows/temp" -maxdepth 2 -iname GetInfoDir 2>/dev/null || true)
check "working folder GetInfoDir is gone from the temp folders" test -z "$leftover"
check "no intermediate info.data left beside the program" \
  test ! -e "$WINEPREFIX/drive_c/VeltoInfo/info.data"

if [ -s "${VELTO_PACKAGE:-/nonexistent}" ]; then
  cp -f "$VELTO_PACKAGE" "$art/"
  if veltopkg_present; then
    check "package verifies with veltopkg" veltopkg_verify "$VELTO_PACKAGE"
    listing=$(veltopkg_list "$VELTO_PACKAGE" || true)
    check "package holds GetInfoDir/Velto_Debug_Info.txt" \
      grep -q 'GetInfoDir/Velto_Debug_Info\.txt$' <<<"$listing"
    report=$(veltopkg_main_report "$VELTO_PACKAGE" || true)
    echo "--- main report (head) ---"; printf '%s\n' "$report" | sed -n 1,15p; echo "---"
    check "main report starts with \"Version:\"" test "${report:0:8}" = "Version:"
    check "main report has a \"Date:\" line" grep -q '^Date:' <<<"$report"
    version=$(sed -n 's/^project(VeltoInfo VERSION \([0-9.]*\).*/\1/p' "$VELTO_ROOT/CMakeLists.txt")
    check "\"Version:\" carries the program's FileVersion $version" \
      test "$(head -1 <<<"$report")" = "Version:$version"
    uninstall=$(veltopkg_member "$VELTO_PACKAGE" uninstall.txt || true)
    check "uninstall.txt opens with the registry editor header" \
      test "$(head -1 <<<"$uninstall")" = "Windows Registry Editor Version 5.00"
    check "uninstall.txt holds the seeded 64-bit entry" grep -qF \
      -e '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Fabrikam Viewer]' <<<"$uninstall"
    check "uninstall.txt holds the seeded Wow6432Node entry" \
      grep -qF 'Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Notepad++]' <<<"$uninstall"
    services=$(veltopkg_member "$VELTO_PACKAGE" services.txt || true)
    check "services.txt holds the seeded service and its subkey" \
      grep -qiF 'Services\ContosoBackupSvc\Parameters]' <<<"$services"
    check "OpenSSL decrypts the package into a ZIP that unzip -t accepts" \
      openssl_unpack_and_test "$VELTO_PACKAGE" "$art/package.zip"
    errors=$(veltopkg_member "$VELTO_PACKAGE" GetInfoLog.txt || true)
    check "no group of the run failed (GetInfoLog.txt is empty)" test -z "$errors"
  else
    echo "SKIP  package checks: $VELTO_PKG_TOOL is not built yet"
  fi
fi

echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
