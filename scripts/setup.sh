#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. Safe to run again: it does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest zlib1g-dev          # native build and tests
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev        # Windows builds
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix               # (std::thread needs -posix)
  wine wine64 fonts-wine                                            # running the program
  xvfb xauth xfonts-base x11-utils xdotool imagemagick              # its window, headless
  unzip zip openssl python3 attr                                    # outside oracles, seeding
  clang libclang-rt-14-dev                                          # fuzzing
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
log=$(mktemp "${TMPDIR:-/tmp}/velto-setup.XXXXXX.log")
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q "${missing[@]}"; } >"$log" 2>&1; then
  tail -30 "$log" >&2
  echo "setup: apt-get failed (full log: $log)" >&2
  exit 1
fi
rm -f "$log"
echo "setup: done"
