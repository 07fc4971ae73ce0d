#!/usr/bin/env bash
# Installs what is missing, builds both programs and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export FENNROW_ROOT=$root

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86 x64

# Both builds must be what we ship and what we test.
file "$root/build/x86/bin/fennrow.exe" | grep -q 'PE32 executable' || { echo "x86 build is not PE32"; exit 1; }
file "$root/build/x64/bin/fennrow.exe" | grep -q 'PE32+ executable' || { echo "x64 build is not PE32+"; exit 1; }

source "$root/scripts/wine-env.sh"
# A private prefix per run: nothing left over from an earlier run can hide a fault.
export WINEPREFIX=$root/build/wineprefix-test
rm -rf "$WINEPREFIX"
trap fennrow_stop_wine EXIT
fennrow_start_wine

cd "$root/build/x64"
ctest --output-on-failure --timeout 600 "$@"
bash "$root/scripts/test-x86.sh"
