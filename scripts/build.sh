#!/usr/bin/env bash
# Builds the three trees: native (core, tests, package tool), win64 (runs under
# Wine here) and win32 (the release program). Results land in dist/.
#   scripts/build.sh [native|win64|win32 ...]     default: all three
# VELTO_SANITIZE=1 builds the native tree with ASan/UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native win64 win32)
jobs=$(nproc 2>/dev/null || echo 2)

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  fi
}

for t in "${targets[@]}"; do
  case $t in
    native)
      san=OFF; [ "${VELTO_SANITIZE:-0}" = 1 ] && san=ON
      dir=build/native; [ $san = ON ] && dir=build/native-asan
      configure "$dir" -DVELTO_SANITIZE=$san
      cmake --build "$dir" -j "$jobs"
      mkdir -p dist/native
      [ -f "$dir/veltopkg" ] && cp -f "$dir/veltopkg" dist/native/ || true
      ;;
    win64|win32)
      arch=x86_64; [ $t = win32 ] && arch=i686
      tests=ON; [ $t = win32 ] && tests=OFF   # 32-bit code cannot run here
      configure "build/$t" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" -DVELTO_TESTS=$tests
      cmake --build "build/$t" -j "$jobs"
      mkdir -p "dist/$t"
      cp -f "build/$t/VeltoInfo.exe" "dist/$t/"
      [ -f "build/$t/veltopkg.exe" ] && cp -f "build/$t/veltopkg.exe" "dist/$t/" || true
      [ -f "build/$t/velto_win_tests.exe" ] && cp -f "build/$t/velto_win_tests.exe" "dist/$t/" || true
      ;;
    *) echo "unknown target: $t" >&2; exit 2 ;;
  esac
done
