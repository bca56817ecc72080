# Wine plumbing shared by the Windows tests, the end-to-end test and the demo.
# Source it from a bash script running with `set -euo pipefail`.
#
#   wine_template_ensure           build the seeded template prefix (cached)
#   wine_session_start NAME        fresh prefix copy + X display + warm wineserver
#   wine_run SECONDS EXE [ARGS]    run a Windows program, bounded
#   wine_start_bg TAG EXE [ARGS]   start one in the background (see wine_wait_rc)
#   wine_wait_rc TAG SECONDS       its exit code, or 124 when it did not end in time
#   wine_session_stop              tear down (also runs from the EXIT trap)
#   x_find_window TITLE SECONDS    X window id of a top-level window, by exact title
#   x_click_client WID CW CH X Y   left click at client coordinates (client CW x CH)
#   x_key WID KEY                  send a key to a window
#   x_screenshot FILE              the whole display as PNG
#
# Every wait here is bounded: a hung Wine ends a test, never CI.

VELTO_ROOT=${VELTO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WINE64=/usr/lib/wine/wine64
WINE_SEED_DIR=$VELTO_ROOT/tests/wine/seed
WINE_TEMPLATE=${VELTO_WINE_TEMPLATE:-$VELTO_ROOT/build/wine-template}
# Bump when the recipe below changes so cached templates are rebuilt.
WINE_TEMPLATE_RECIPE=7

WINE_SCRATCH=""   # per-session scratch folder (prefix, home, logs)
WINE_XPID=""      # Xvfb we started, if any
WINE_OWN_PREFIX="" # the prefix whose wineserver we started, if any

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "ERROR: $*"; exit 1; }

wine_base_env() {  # home folder
  export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d" HOME=$1
  export XDG_CONFIG_HOME=$1/.config XDG_DATA_HOME=$1/.local/share XDG_CACHE_HOME=$1/.cache
  unset WINEARCH WINESERVER WINELOADER
}

# A Unix path as the prefix's Z: drive sees it.
unix_to_win() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# drive_c/users/<name> of the Unix user running Wine.
wine_user_dir() {  # prefix
  local d
  for d in "$1"/drive_c/users/*/; do
    d=${d%/}
    case ${d##*/} in Public|@USER@) ;; *) printf '%s\n' "$d"; return 0 ;; esac
  done
  die "no user folder in $1"
}

# --- X display -----------------------------------------------------------------

# Starts Xvfb on a free display number (Xvfb picks it) unless the caller's own
# display is wanted (VELTO_USE_DISPLAY=1 with DISPLAY set).
x_start() {
  if [ "${VELTO_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    log "using display $DISPLAY"
    return 0
  fi
  local fdfile=$WINE_SCRATCH/xvfb.display _
  Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$fdfile" \
    </dev/null >"$WINE_SCRATCH/xvfb.log" 2>&1 &
  WINE_XPID=$!
  for _ in $(seq 100); do
    if [ -s "$fdfile" ]; then
      export DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
      if timeout 5 xdpyinfo >/dev/null 2>&1; then return 0; fi
    fi
    kill -0 "$WINE_XPID" 2>/dev/null || break
    sleep 0.1
  done
  cat "$WINE_SCRATCH/xvfb.log" >&2 || true
  die "Xvfb did not come up"
}

x_stop() {
  [ -n "$WINE_XPID" ] || return 0
  kill "$WINE_XPID" 2>/dev/null || true
  timeout 5 tail --pid="$WINE_XPID" -f /dev/null 2>/dev/null || kill -9 "$WINE_XPID" 2>/dev/null || true
  WINE_XPID=""
}

x_find_window() {  # title seconds
  timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1
}
# Without a window manager Wine draws a tool window's frame and caption itself,
# inside the X window: find the client area's origin from its known size
# (frame equal on left, right and bottom; the caption adds to the top).
x_client_origin() {  # wid client-width client-height
  local w=0 h=0 bx line
  while IFS= read -r line; do
    case $line in WIDTH=[0-9]*) w=${line#WIDTH=} ;; HEIGHT=[0-9]*) h=${line#HEIGHT=} ;; esac
  done < <(timeout 10 xdotool getwindowgeometry --shell "$1" 2>/dev/null || true)
  bx=$(( (w - $2) / 2 ))
  [ $bx -ge 0 ] && [ $((h - $3 - bx)) -ge 0 ] || { echo "0 0"; return 0; }
  echo "$bx $((h - $3 - bx))"
}
x_click_client() {  # wid client-width client-height x y
  local o=(0 0)
  read -r -a o < <(x_client_origin "$1" "$2" "$3") || true
  timeout 10 xdotool mousemove --window "$1" $((o[0] + $4)) $((o[1] + $5)) click 1
}
x_key() {  # wid key
  timeout 10 xdotool key --window "$1" "$2" 2>/dev/null
}
x_screenshot() {  # file
  timeout 20 import -display "$DISPLAY" -window root "$1" 2>/dev/null
}

# --- wineserver ----------------------------------------------------------------

wine_server_start() {
  # The first Wine process of a session spawns the daemons, which inherit its
  # stdio: keep that on /dev/null or a caller's pipe never closes.
  timeout 30 wineserver -p </dev/null >/dev/null 2>&1 || die "wineserver did not start"
  timeout 120 "$WINE64" wineboot </dev/null >/dev/null 2>&1 || die "wineboot failed or hung"
}

# Only ever the server of a prefix this script made, never the caller's own.
wine_server_stop() {
  [ -n "$WINE_OWN_PREFIX" ] || return 0
  WINEPREFIX=$WINE_OWN_PREFIX timeout 20 wineserver -k </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$WINE_OWN_PREFIX timeout 20 wineserver -w </dev/null >/dev/null 2>&1 || true
  _wine_socket_dir_remove "$WINE_OWN_PREFIX"
  WINE_OWN_PREFIX=""
}

# Debian's Wine keeps each prefix's server socket in a private /tmp/wine-XXXXXX
# folder named in <prefix>/wineserver; it is left behind unless removed.
_wine_socket_dir_remove() {  # prefix
  local name
  name=$(cat "$1/wineserver" 2>/dev/null) || return 0
  case $name in
    wine-*) [ -d "/tmp/$name" ] && rm -rf "/tmp/${name:?}" ;;
  esac
  return 0
}

# --- template prefix -------------------------------------------------------------

wine_template_stamp() {
  {
    echo "recipe $WINE_TEMPLATE_RECIPE"
    "$WINE64" --version
    if [ -d "$WINE_SEED_DIR" ]; then
      (cd "$WINE_SEED_DIR" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum)
    fi
  } | sha256sum | cut -d' ' -f1
}

# Builds the template prefix when it is missing or its seed changed.
wine_template_ensure() {
  local stamp
  stamp=$(wine_template_stamp)
  mkdir -p "$(dirname "$WINE_TEMPLATE")"
  exec 8>"$WINE_TEMPLATE.lock"
  timeout 600 flock 8 || die "template lock busy"
  if [ "$(cat "$WINE_TEMPLATE/.velto-stamp" 2>/dev/null)" = "$stamp" ]; then
    exec 8>&-
    return 0
  fi
  log "building Wine template prefix (about 20-40 s)"
  local started=$SECONDS
  # In the background so that errexit stays in force inside the build.
  ( _wine_template_build "$WINE_TEMPLATE.new" ) &
  wait $! || { exec 8>&-; die "template prefix build failed"; }
  # It names the build's server socket folder; every copy must make its own.
  rm -f "$WINE_TEMPLATE.new/wineserver"
  echo "$stamp" >"$WINE_TEMPLATE.new/.velto-stamp"
  rm -rf "$WINE_TEMPLATE"
  mv "$WINE_TEMPLATE.new" "$WINE_TEMPLATE"
  exec 8>&-
  log "template ready in $((SECONDS - started)) s: $WINE_TEMPLATE"
}

# Runs in a subshell: its own session, torn down by its own trap.
_wine_template_build() {  # target
  local target=$1
  exec 8>&-   # the parent holds the lock; daemons must not inherit it
  rm -rf "$target"
  WINE_SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/velto-template.XXXXXX")
  trap 'wine_session_stop' EXIT
  mkdir -p "$WINE_SCRATCH/home"
  wine_base_env "$WINE_SCRATCH/home"
  export WINEPREFIX=$target
  WINE_OWN_PREFIX=$target
  VELTO_USE_DISPLAY=0 x_start   # first-run windows stay off the user's screen
  timeout 300 "$WINE64" wineboot -i </dev/null >"$WINE_SCRATCH/wineboot.log" 2>&1 \
    || { tail -20 "$WINE_SCRATCH/wineboot.log" >&2; die "wineboot -i failed"; }
  timeout 60 "$WINE64" winecfg -v win10 </dev/null >/dev/null 2>&1 || die "winecfg failed"
  # A crash should end the program with an exit code, not wait on a dialog.
  timeout 60 "$WINE64" 'C:\windows\system32\reg.exe' add 'HKCU\Software\Wine\WineDbg' \
    /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || die "reg add failed"
  _wine_template_real_folders "$target"
  _wine_template_seed "$target"
  # The registry files are written when the server exits.
  timeout 120 wineserver -w </dev/null >/dev/null 2>&1 || die "wineserver did not exit"
  [ -f "$target/system.reg" ] && [ -f "$target/user.reg" ] || die "registry files missing"
  _wine_socket_dir_remove "$target"
}

# Wine links Desktop, Documents, ... to $HOME: make them real folders so that
# whatever the program writes stays inside the prefix.
_wine_template_real_folders() {  # prefix
  local link
  while IFS= read -r -d '' link; do
    case $(readlink "$link") in
      /*) rm -f "$link"; mkdir -p "$link" ;;
    esac
  done < <(find "$1/drive_c" -type l -print0)
}

_wine_template_seed() {  # prefix
  local reg user_dir
  for reg in "$WINE_SEED_DIR"/*.reg; do
    [ -f "$reg" ] || continue
    log "importing ${reg#"$VELTO_ROOT"/}"
    timeout 120 "$WINE64" 'C:\windows\system32\reg.exe' import "$(unix_to_win "$reg")" \
      </dev/null >"$WINE_SCRATCH/reg.log" 2>&1 || { cat "$WINE_SCRATCH/reg.log" >&2; die "reg import failed: $reg"; }
  done
  if [ -d "$WINE_SEED_DIR/files" ]; then
    log "copying seed files"
    cp -a "$WINE_SEED_DIR/files/." "$1/drive_c/"
    # users/@USER@ stands for whoever runs Wine here.
    if [ -d "$1/drive_c/users/@USER@" ]; then
      user_dir=$(wine_user_dir "$1")
      cp -a "$1/drive_c/users/@USER@/." "$user_dir/"
      rm -rf "$1/drive_c/users/@USER@"
    fi
  fi
}

# --- sessions ------------------------------------------------------------------

# A fresh copy of the template with a display and a warm wineserver. Sets
# WINEPREFIX, DISPLAY, HOME and WINE_SCRATCH; the EXIT trap tears it all down.
wine_session_start() {  # name
  wine_template_ensure
  WINE_SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/velto-$1.XXXXXX")
  trap 'wine_session_stop' EXIT
  trap 'exit 130' INT TERM HUP
  mkdir -p "$WINE_SCRATCH/home"
  wine_base_env "$WINE_SCRATCH/home"
  cp -a "$WINE_TEMPLATE" "$WINE_SCRATCH/prefix"
  rm -f "$WINE_SCRATCH/prefix/wineserver"
  export WINEPREFIX=$WINE_SCRATCH/prefix
  WINE_OWN_PREFIX=$WINEPREFIX
  x_start            # DISPLAY first: a server started without it never gets windows
  wine_server_start
  log "Wine session ready: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
}

wine_session_stop() {
  local rc=$?
  set +e
  wine_server_stop
  x_stop
  if [ -n "$WINE_SCRATCH" ] && [ -d "$WINE_SCRATCH" ]; then
    if [ "${VELTO_KEEP_PREFIX:-0}" = 1 ]; then
      log "kept $WINE_SCRATCH"
    else
      rm -rf "$WINE_SCRATCH"
    fi
  fi
  WINE_SCRATCH=""
  return $rc
}

wine_run() {  # seconds exe args...
  local secs=$1; shift
  timeout -k 5 "$secs" "$WINE64" "$@" </dev/null
}

# Starts a program in the background. Its output goes to $WINE_SCRATCH/TAG.log,
# and its exit code to $WINE_SCRATCH/TAG.rc when the loader ends.
wine_start_bg() {  # tag exe args...
  local tag=$1; shift
  rm -f "$WINE_SCRATCH/$tag.rc"
  ( set +e
    "$WINE64" "$@" </dev/null >"$WINE_SCRATCH/$tag.log" 2>&1
    echo $? >"$WINE_SCRATCH/$tag.rc" ) </dev/null >/dev/null 2>&1 &
}

wine_wait_rc() {  # tag seconds
  local end=$((SECONDS + $2))
  while [ ! -s "$WINE_SCRATCH/$1.rc" ]; do
    [ $SECONDS -lt $end ] || { echo 124; return 0; }
    sleep 0.2
  done
  cat "$WINE_SCRATCH/$1.rc"
}
