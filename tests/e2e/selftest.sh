#!/usr/bin/env bash
# Checks the window driver's own parsing, which a wrong end-to-end verdict
# would otherwise hide: Wine's escaped message box trace and path mapping.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/prefix.sh"
source "$here/velto_window.sh"

failed=0
expect() {  # description expected actual
  if [ "$2" = "$3" ]; then echo "PASS  $1"
  else echo "FAIL  $1: expected [$(show_text "$2")], got [$(show_text "$3")]"; failed=$((failed + 1)); fi
}
trace_text() {  # trace line(s)
  local f t
  f=$(mktemp)
  printf '%s\n' "$@" >"$f"
  t=$(velto_msgbox_text "$f"; printf x) || true
  rm -f "$f"
  printf '%s' "${t%x}"
}

expect "bare CR and doubled backslashes" \
  "$VELTO_SUCCESS_TEXT"$'\r''C:\users\root\Desktop\qn_logs_20261209.log' \
  "$(trace_text '0024:trace:msgbox:MSGBOX_OnInit L"The info file: Velto_Debug_Info.zip has been saved to:\rC:\\users\\root\\Desktop\\qn_logs_20261209.log"')"
expect "quotes, CR LF and non-ASCII as four hex digits" \
  $'say "hi"\r\n\u00e9\u0416 A' \
  "$(trace_text '0024:trace:msgbox:MSGBOX_OnInit L"say \"hi\"\r\n\00e9\0416\0020A"')"
expect "a backslash before hex-looking text stays a backslash" 'C:\abcd\1234' \
  "$(trace_text '0024:trace:msgbox:MSGBOX_OnInit L"C:\\abcd\\1234"')"
expect "a text Wine cut short is marked" "abc..." \
  "$(trace_text '0024:trace:msgbox:MSGBOX_OnInit L"abc"...')"
expect "only the first box counts" "first" \
  "$(trace_text 'noise' '0024:trace:msgbox:MSGBOX_OnInit L"first"' '0024:trace:msgbox:MSGBOX_OnInit L"second"')"
expect "no box, no text" "" "$(trace_text 'fixme:something else')"

WINEPREFIX=/p
expect "C: path maps into the prefix" "/p/drive_c/users/root/Desktop/qn_logs_1.log" \
  "$(win_to_unix 'C:\users\root\Desktop\qn_logs_1.log')"
expect "other drives are not mapped" "" "$(win_to_unix 'D:\x' || true)"

[ $failed -eq 0 ]
