#!/usr/bin/env bash
# Builds the shipped 32-bit program (build/x86) and the 64-bit test build (build/x64).
# Usage: scripts/build.sh [x86|x64]...   (default: both)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arches=("$@")
((${#arches[@]})) || arches=(x86 x64)
for arch in "${arches[@]}"; do
  case $arch in
    x86) toolchain=mingw-i686.cmake ;;
    x64) toolchain=mingw-x86_64.cmake ;;
    *) echo "unknown architecture $arch" >&2; exit 2 ;;
  esac
  cmake -S "$root" -B "$root/build/$arch" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
  cmake --build "$root/build/$arch" -j "$(nproc)"
done
