#!/usr/bin/env bash
# Builds Fennrow and starts it under Wine (the 64-bit build: Wine here runs 64-bit programs).
#   scripts/run.sh           the program alone
#   scripts/run.sh --demo    also a partner simulator listing generated sample CHK files
# With no display it runs on a virtual screen, saves a screenshot and says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export FENNROW_ROOT=$root
demo=false
[[ ${1:-} == --demo ]] && demo=true

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x64

headless=false
[[ -z ${DISPLAY:-} ]] && headless=true
source "$root/scripts/wine-env.sh"
trap fennrow_stop_wine EXIT
fennrow_start_wine

bin=$root/build/x64/bin
run=$root/build/run
mkdir -p "$run"
cp "$bin/fennrow.exe" "$run/fennrow.exe"

if $demo; then
  bash "$root/tools/demo/make_demo.sh" "$root/build/demo"
  "$WINE64" "$bin/partner_sim.exe" --list "$(winepath_of "$root/build/demo/list.txt")" &
  echo "Partner simulator started with $(grep -c . "$root/build/demo/list.txt") sample CHK files."
  echo "In Fennrow: save folder $(winepath_of "$root/build/demo/saved")\\, type jpg, Enter."
fi

"$WINE64" "$run/fennrow.exe" &
program=$!

if $headless; then
  shots=$root/build/screenshots
  mkdir -p "$shots"
  # Wait (bounded) for the window, then for one partner tick.
  for _ in $(seq 1 120); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Fennrow"' && break
    sleep 0.5
  done
  sleep 2.5
  if $demo; then
    "$WINE64" "$bin/demo_driver.exe" "$(winepath_of "$root/build/demo/saved")" || true
  fi
  import -display "$DISPLAY" -window root "$shots/fennrow.png"
  echo "Screenshot of the running program: $shots/fennrow.png"
  if $demo; then
    echo "Copied files: $root/build/demo/saved/jpg"
    ls -l "$root/build/demo/saved/jpg" 2>/dev/null || true
  fi
  kill "$program" 2>/dev/null || true
else
  wait "$program" || true
fi
