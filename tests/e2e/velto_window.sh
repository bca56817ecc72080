# Drives VeltoInfo.exe through its window as a person would. Shared by the
# end-to-end test and the demo; source it after tests/wine/prefix.sh and call
# velto_press_button inside a running Wine session.
#
# After velto_press_button EXE:
#   VELTO_WINDOW       X window id of the main window, empty when it never came up
#   VELTO_MSG_CAPTION  "Information", "Error", or empty when no box came up
#   VELTO_MSG_TEXT     the box's text as shown (a bare CR stays a CR)
#   VELTO_EXIT_CODE    the program's exit code (124 when it did not end in time)
#   VELTO_PACKAGE      Unix path of the file the success text names, else empty
#   VELTO_SHOT         screenshot taken while the box was up
#   VELTO_APP_LOG      the program's stderr, with Wine's message box trace

VELTO_CAPTION="Get Velto Configuration File"
VELTO_CLIENT_W=305 VELTO_CLIENT_H=148
VELTO_BUTTON_X=$((61 + 169 / 2)) VELTO_BUTTON_Y=$((82 + 25 / 2))
VELTO_SUCCESS_TEXT="The info file: Velto_Debug_Info.zip has been saved to:"
VELTO_RUN_TIMEOUT=${VELTO_RUN_TIMEOUT:-420}   # a full run takes a minute or two here

velto_press_button() {  # exe [artifact-dir]
  local exe=$1 art=${2:-$WINE_SCRATCH} wid="" mid="" end
  VELTO_WINDOW="" VELTO_MSG_CAPTION="" VELTO_MSG_TEXT="" VELTO_EXIT_CODE="" VELTO_PACKAGE=""
  VELTO_SHOT="" VELTO_APP_LOG=$WINE_SCRATCH/app.log
  mkdir -p "$art" "$WINEPREFIX/drive_c/VeltoInfo"
  # Its own folder on C: like an installed copy; the program writes beside itself.
  cp -f "$exe" "$WINEPREFIX/drive_c/VeltoInfo/VeltoInfo.exe"

  # Wine's msgbox channel logs each message box's text as it is shown.
  WINEDEBUG=-all,trace+msgbox wine_start_bg app 'C:\VeltoInfo\VeltoInfo.exe'
  end=$((SECONDS + 60))
  while [ $SECONDS -lt $end ] && [ ! -s "$WINE_SCRATCH/app.rc" ]; do
    wid=$(x_find_window "$VELTO_CAPTION" 2) || true
    [ -z "$wid" ] || break
  done
  if [ -z "$wid" ]; then
    log "the window \"$VELTO_CAPTION\" did not appear"
    VELTO_EXIT_CODE=$(wine_wait_rc app 5)
    return 0
  fi
  VELTO_WINDOW=$wid
  log "window $wid found; pressing \"Save report to Desktop\""
  sleep 1   # a person looks before clicking; the window has settled by then
  x_screenshot "$art/window.png" || true
  x_click_client "$wid" $VELTO_CLIENT_W $VELTO_CLIENT_H $VELTO_BUTTON_X $VELTO_BUTTON_Y \
    || log "xdotool could not click the button"

  end=$((SECONDS + VELTO_RUN_TIMEOUT))
  while [ $SECONDS -lt $end ] && [ ! -s "$WINE_SCRATCH/app.rc" ]; do
    mid=$(timeout 5 xdotool search --onlyvisible --name '^(Information|Error)$' 2>/dev/null | head -1) || true
    [ -z "$mid" ] || break
    sleep 1
  done
  if [ -n "$mid" ]; then
    VELTO_MSG_CAPTION=$(timeout 5 xdotool getwindowname "$mid" || true)
    sleep 1   # let it paint before the picture
    VELTO_SHOT=$art/messagebox.png
    x_screenshot "$VELTO_SHOT" || VELTO_SHOT=""
    VELTO_MSG_TEXT=$(velto_msgbox_text "$VELTO_APP_LOG"; printf x) && VELTO_MSG_TEXT=${VELTO_MSG_TEXT%x}
    log "message box \"$VELTO_MSG_CAPTION\" after $((VELTO_RUN_TIMEOUT - end + SECONDS)) s; dismissing it"
    x_key "$mid" Return || true
    # Closing a window takes about 2 s under Wine without a window manager.
    VELTO_EXIT_CODE=$(wine_wait_rc app 90)
  else
    log "no message box within ${VELTO_RUN_TIMEOUT} s"
    VELTO_EXIT_CODE=$(wine_wait_rc app 2)
  fi
  case $VELTO_MSG_TEXT in
    "$VELTO_SUCCESS_TEXT"$'\r'*) VELTO_PACKAGE=$(win_to_unix "${VELTO_MSG_TEXT#*$'\r'}") ;;
  esac
  return 0
}

# The text of the first message box in a log written with trace+msgbox. Wine
# prints it C-escaped inside L"..."; long texts are cut short with "...".
velto_msgbox_text() {  # log
  python3 - "$1" <<'EOF'
import re, sys
data = open(sys.argv[1], encoding="utf-8", errors="replace").read()
m = re.search(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"(\.\.\.)?', data)
if not m:
    sys.exit(1)
esc = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'"}
# Other characters come as a backslash and four hex digits.
def unescape(e):
    g = e.group(1)
    return chr(int(g, 16)) if len(g) == 4 else esc.get(g, g)
text = re.sub(r'\\([0-9a-fA-F]{4}|.)', unescape, m.group(1))
if m.group(2):
    text += "..."
sys.stdout.write(text)
EOF
}

# A C:\ path of the session's prefix as a Unix path.
win_to_unix() {  # windows-path
  local p=$1
  case $p in
    [Cc]:\\*) p=${p:3}; printf '%s/drive_c/%s\n' "$WINEPREFIX" "${p//\\//}" ;;
    *) return 1 ;;
  esac
}

# Shows a text with its control characters visible, the way a reviewer needs it.
show_text() {  # text
  local t=${1//$'\r'/<CR>}
  printf '%s\n' "${t//$'\n'/<LF>}"
}
