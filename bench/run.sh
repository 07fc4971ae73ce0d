#!/usr/bin/env bash
# Runs the benchmarks side by side and prints a table of medians.
#
#   bench/run.sh [--items N] [--rounds R] [--startup-runs N] [--no-small] [--no-big] [--no-startup]
#
# Builds the 64-bit programs it needs in build/bench-x64, sets up Wine as scripts/wine-env.sh
# does (WINEPREFIX and DISPLAY are taken from the environment when set), writes its sample files
# once into build/bench-data (or $BENCH_DATA) and runs every case once per round, the order of
# the variants rotating from round to round. Raw figures go to build/bench-data/results-*.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
items=7000 rounds=3 startup_runs=3 small=1 big=1 startup=1
while [[ $# -gt 0 ]]; do
  case $1 in
    --items) items=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --startup-runs) startup_runs=$2; shift 2 ;;
    --no-small) small=0; shift ;;
    --no-big) big=0; shift ;;
    --no-startup) startup=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

build=$root/build/bench-x64
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j2 --target fennrow_bench fennrow partner_sim bench_min_window >/dev/null

export FENNROW_ROOT=$root
export WINEPREFIX=${WINEPREFIX:-$root/build/bench-wineprefix}
source "$root/scripts/wine-env.sh"
fennrow_start_wine || true  # the server may already be running
trap fennrow_stop_display EXIT
fennrow_stop_display() {
  if [[ -n ${FENNROW_XVFB_PID:-} ]]; then kill "$FENNROW_XVFB_PID" 2>/dev/null || true; fi
}

data=${BENCH_DATA:-$root/build/bench-data}
mkdir -p "$data"
wdata=$(winepath_of "$data")
results=$data/results-$(date +%Y%m%d-%H%M%S).txt
bench() { # case [extra args]: one call, its RESULT lines tagged with the round
  local c=$1; shift
  local out
  if ! out=$(cd "$build/bin" && timeout 2400 "$WINE64" fennrow_bench.exe --case "$c" \
               --data "$wdata" --items "$items" "$@" 2>&1); then
    echo "  $c failed: $out" >&2
  fi
  grep '^RESULT' <<<"$out" | tr -d '\r' | sed "s/^RESULT/$round/" >>"$results" || true
}

echo "preparing $items small files and a 1 GiB file in $data ..." >&2
round=0 bench prepare
: >"$results"
for round in $(seq 1 "$rounds"); do
  echo "round $round/$rounds" >&2
  variants=(small-fennrow small-ref small-bare)
  if [[ $small == 1 ]]; then
    for i in 0 1 2; do bench "${variants[$(((i + round) % 3))]}"; done
  fi
  if [[ $big == 1 ]]; then
    # Three of each per round: one copy of 1 GiB is short and the page cache makes it jumpy.
    for i in 0 1 2 3 4 5 6 7 8; do
      sync
      case $(((i + round) % 3)) in
        0) bench big-fennrow ;;
        1) bench big-bare ;;
        2) t0=$(date +%s.%N); cp "$data/big.bin" "$data/cp-target.bin"; t1=$(date +%s.%N)
           rm -f "$data/cp-target.bin"
           echo "$round big_cp_mibs $(python3 -c "print(1024/($t1-$t0))")" >>"$results" ;;
      esac
    done
  fi
  if [[ $startup == 1 ]]; then bench startup --runs "$startup_runs"; fi
done

python3 "$root/bench/table.py" "$results" "$items"
