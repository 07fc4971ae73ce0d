#!/usr/bin/env bash
# Runs one Windows program under wine64 in the environment set up by scripts/wine-env.sh.
# CTest uses it as the emulator for the 64-bit test programs.
root=$(cd "$(dirname "$0")/.." && pwd)
export FENNROW_ROOT=$root
source "$root/scripts/wine-env.sh"
exec "$WINE64" "$@"
