#!/usr/bin/env bash
# Lets this machine run the shipped 32-bit program: the kernel here refuses 32-bit code, so
# 32-bit Linux programs go through qemu-i386 (binfmt_misc), and wine32 runs 32-bit Windows
# programs on top of that. Idempotent and quick when everything is there; every step bounded.
#
# Exit code 0: 32-bit programs run. Otherwise it prints "x86 setup: REFUSED: <reason>" and exits 3,
# so the caller can report the 32-bit tests as skipped with that reason.
set -uo pipefail

refuse() {
  echo "x86 setup: REFUSED: $*" >&2
  exit 3
}

export DEBIAN_FRONTEND=noninteractive
apt_updated=0
apt_update_once() {
  ((apt_updated)) && return 0
  timeout 600 apt-get update -qq || return 1
  apt_updated=1
}
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# 1. The emulator. Debian's qemu-user ships /usr/bin/qemu-i386; its recommended binfmt package
# registers through systemd, which a container does not run, so we register by hand below.
if ! installed qemu-user; then
  echo "x86 setup: installing qemu-user"
  apt_update_once || refuse "apt-get update failed"
  timeout 900 apt-get install -y -qq --no-install-recommends qemu-user >/dev/null ||
    refuse "cannot install qemu-user"
fi
[[ -x /usr/bin/qemu-i386 ]] || refuse "/usr/bin/qemu-i386 missing after installing qemu-user"

# 2. binfmt_misc, mounted when missing.
binfmt=/proc/sys/fs/binfmt_misc
if [[ ! -e $binfmt/register ]]; then
  mount binfmt_misc -t binfmt_misc "$binfmt" 2>/dev/null ||
    refuse "cannot mount binfmt_misc on $binfmt (no permission?)"
fi
[[ -w $binfmt/register ]] || refuse "$binfmt/register is not writable"
if [[ -e $binfmt/status ]] && [[ $(cat "$binfmt/status") != enabled ]]; then
  echo 1 >"$binfmt/status" 2>/dev/null || refuse "binfmt_misc is disabled and cannot be enabled"
fi

# 3. An i386 ELF entry for qemu-i386. O: qemu gets the open binary; C: credentials of the binary
# (set-uid helpers keep working); F: the interpreter is opened now, so it works in any namespace.
# Magic and mask are those of qemu's own binfmt configuration for i386 executables.
entry=$binfmt/qemu-i386
if [[ -e $entry ]] && ! grep -q '^interpreter /usr/bin/qemu-i386$' "$entry"; then
  # An entry by that name for another interpreter: replace it with ours.
  echo -1 >"$entry" 2>/dev/null || refuse "cannot remove the stale $entry"
fi
if [[ ! -e $entry ]]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386:OCF' "$magic" "$mask" >"$binfmt/register" 2>/dev/null ||
    refuse "the kernel refused the qemu-i386 binfmt_misc entry"
fi
grep -q '^enabled$' "$entry" || echo 1 >"$entry" 2>/dev/null || refuse "cannot enable $entry"

# 4. wine32 beside wine64, same version (libwine is Multi-Arch: same, so a mismatch would make apt
# remove wine64: check that it is still there afterwards).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386 || refuse "dpkg --add-architecture i386 failed"
  apt_updated=0
fi
if ! installed wine32:i386; then
  echo "x86 setup: installing wine32:i386"
  apt_update_once || refuse "apt-get update failed"
  timeout 1200 apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
    refuse "cannot install wine32:i386"
fi
installed wine64 || refuse "installing wine32:i386 removed wine64"
[[ -x /usr/lib/wine/wine && -x /usr/lib/wine/wine64 ]] || refuse "wine loaders missing"

# 5. The proof: the 32-bit dynamic loader runs.
if ! out=$(timeout 120 /lib/ld-linux.so.2 --version 2>&1) || ! grep -qi 'ld.so' <<<"$out"; then
  refuse "32-bit programs still do not run: ${out:0:200}"
fi
echo "x86 setup: 32-bit programs run through qemu-i386"
