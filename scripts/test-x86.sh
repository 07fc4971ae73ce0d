#!/usr/bin/env bash
# The 32-bit suite: sets the machine up to run 32-bit programs (qemu-user, binfmt_misc, wine32),
# builds tests/x86 and runs the shipped build/x86/bin/fennrow.exe through the 32-bit Wine.
# Where the machine refuses, the suite reports itself SKIPPED with the reason, never passed.
# Expects build/x86 and build/x64 built (scripts/test.sh does that first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export FENNROW_ROOT=$root
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }

shipped=$root/build/x86/bin/fennrow.exe
partner=$root/build/x64/bin/partner_sim.exe
for f in "$shipped" "$partner"; do
  [[ -f $f ]] || { echo "test-x86: $f missing: build both programs first (scripts/build.sh)" >&2; exit 1; }
done

skip=""
if ! out=$(bash "$root/scripts/setup-x86.sh" 2>&1); then
  skip=$(grep -o 'REFUSED: .*' <<<"$out" | tail -n 1)
  skip=${skip#REFUSED: }
  [[ -n $skip ]] || skip="32-bit set-up failed: ${out: -300}"
fi
echo "$out"
echo "test-x86: set-up done after $(elapsed)"

# The suite's own build: a 64-bit test program (it drives the 32-bit one from outside).
suite=$root/build/x86-suite
cmake -S "$root/tests/x86" -B "$suite" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DFENNROW_X86_EXE="$shipped" -DFENNROW_PARTNER_SIM="$partner" >/dev/null
cmake --build "$suite" -j "$(nproc)" --target x86_smoke_test
echo "test-x86: suite built after $(elapsed)"

source "$root/scripts/wine-env.sh"
# A prefix of its own, fresh each run. Made by wine64 while wine32 is installed, it carries the
# 32-bit system DLLs too (syswow64); making it with the 32-bit loader gives the same prefix but
# takes four times as long under emulation.
export WINEPREFIX=$root/build/wineprefix-x86
if [[ -z $skip ]]; then
  rm -rf "$WINEPREFIX"
  trap fennrow_stop_wine EXIT
  fennrow_start_display
  mkdir -p "$WINEPREFIX"
  timeout 900 "$WINE64" wineboot -i >/dev/null 2>&1 || true
  timeout 120 "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  # One 64-bit wineserver for the whole run: it serves the 32-bit programs as well. The one that
  # made the prefix must be gone first, or -p refuses.
  timeout 120 "$WINESERVER64" -w || true
  "$WINESERVER64" -p || true
  # The prefix's services start now, not inside a test (they would hold its output open).
  timeout 300 "$WINE64" cmd /c exit >/dev/null 2>&1 || true
  if [[ ! -f $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
    skip="the Wine prefix has no 32-bit system DLLs (wineboot did not set up syswow64)"
  fi
  echo "test-x86: prefix ready after $(elapsed)"
fi

if [[ -n $skip ]]; then
  export FENNROW_X86_SKIP=$skip
  echo "=================================================================="
  echo "SKIPPED: 32-bit suite: $skip"
  echo "=================================================================="
fi
status=0
ctest --test-dir "$suite" --output-on-failure --timeout 900 || status=$?
echo "test-x86: 32-bit suite took $(elapsed)"
exit "$status"
