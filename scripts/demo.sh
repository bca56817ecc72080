#!/usr/bin/env bash
# The main job, on Linux: build the program, run it under wine64 on a seeded
# demo machine, press its button as a person would, wait for the outcome, and
# open the package it left on the Desktop with the support tool.
#   VELTO_USE_DISPLAY=1   show the window on your own $DISPLAY instead of Xvfb
#   VELTO_KEEP_PREFIX=1   keep the demo machine's Wine prefix afterwards
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tests/wine/prefix.sh
source tests/e2e/velto_window.sh
source tests/e2e/package_check.sh

scripts/setup.sh
mkdir -p build
log "building (native, win64, win32)"
scripts/build.sh >build/demo-build.log 2>&1 || { tail -40 build/demo-build.log >&2; die "build failed"; }

out=$root/out
mkdir -p "$out"
wine_session_start demo
velto_press_button dist/win64/VeltoInfo.exe "$out/demo"
cp -f "$VELTO_APP_LOG" "$out/demo/app.log" 2>/dev/null || true

echo
echo "The window said:  [$VELTO_MSG_CAPTION] $(show_text "$VELTO_MSG_TEXT")"
echo "Exit code:        $VELTO_EXIT_CODE"
echo "Screenshots:      $out/demo/window.png ${VELTO_SHOT:+$VELTO_SHOT}"
[ "$VELTO_EXIT_CODE" = 0 ] || log "WARNING: the program ended with exit code $VELTO_EXIT_CODE"
[ -s "${VELTO_PACKAGE:-/nonexistent}" ] || die "no package was written (see $out/demo/)"
cp -f "$VELTO_PACKAGE" "$out/"
pkg=$out/$(basename "$VELTO_PACKAGE")
echo "Package:          $(show_text "${VELTO_MSG_TEXT#*$'\r'}") on the demo machine"
echo "                  copied to $pkg ($(stat -c %s "$pkg") bytes)"
echo

if ! veltopkg_present; then
  echo "The support tool $VELTO_PKG_TOOL is not built; cannot open the package."
  exit 0
fi
echo "--- veltopkg list $pkg ---"
veltopkg_list "$pkg"
echo "--- main report (first 25 lines) ---"
veltopkg_main_report "$pkg" | sed -n 1,25p
