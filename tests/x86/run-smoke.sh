#!/usr/bin/env bash
# CTest's command for x86_smoke_test: runs the 64-bit test program under wine64 in the prefix
# scripts/test-x86.sh prepared, or reports the test as skipped (exit 77) with the reason when this
# machine cannot run 32-bit code.
# Usage: run-smoke.sh <x86_smoke_test.exe> <32-bit fennrow.exe>
set -uo pipefail
test_exe=$1 shipped=$2
if [[ -n ${FENNROW_X86_SKIP:-} ]]; then
  echo "SKIPPED: the 32-bit program cannot run on this machine: $FENNROW_X86_SKIP"
  exit 77
fi
winpath() { printf 'Z:%s' "${1//\//\\}"; }
engine_copy=$(mktemp -d)/SkinH_EL.dll
export FENNROW_X86_EXE=$(winpath "$shipped")
export FENNROW_X86_ENGINE_COPY=$(winpath "$engine_copy")
timeout 840 /usr/lib/wine/wine64 "$test_exe"
rc=$?
((rc == 0)) || exit "$rc"

# The engine file the 32-bit program wrote, seen by the Linux tools as well.
if [[ ! -s $engine_copy ]]; then
  echo "FAILED: the test left no copy of the engine file"
  exit 1
fi
kind=$(file -b "$engine_copy")
echo "engine file: $kind"
[[ $kind == PE32\ executable*DLL* && $kind == *80386* ]] || { echo "FAILED: engine file is not a PE32 DLL"; exit 1; }
exports=$(i686-w64-mingw32-objdump -p "$engine_copy" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
echo "$exports"
for name in SkinH_AttachRes SkinH_SetAero; do
  grep -Eq "\] $name\$" <<<"$exports" || { echo "FAILED: export $name missing or decorated"; exit 1; }
done
if grep -q '@' <<<"$exports"; then
  echo "FAILED: decorated export names"
  exit 1
fi
rm -rf "$(dirname "$engine_copy")"
echo "x86_smoke_test: passed"
