#!/usr/bin/env bash
# Installs what building and testing Fennrow needs on a Debian 12 machine. Idempotent and quick
# when everything is already there.
set -euo pipefail

packages=(
  cmake make python3 file
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  googletest
  wine64 xvfb xauth x11-utils imagemagick locales fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # wine64 without recommends: no 32-bit loader, no fonts we do not use.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from the locale; the locale must exist or non-ASCII names fail.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
