#!/usr/bin/env bash
# Runs the reliability suite under wine64. For the disk-full case it first mounts a small tmpfs
# and maps it into the Wine prefix as a drive letter; when the machine refuses (no root, no
# mount rights) the case is skipped and says so.
root=$(cd "$(dirname "$0")/../.." && pwd)
export FENNROW_ROOT=$root
source "$root/scripts/wine-env.sh"

mnt=$(mktemp -d /tmp/fennrow-small-XXXXXX)
link=""
if mount -t tmpfs -o size=4m fennrow-small "$mnt" 2>/dev/null; then
  for letter in r s t u v w x y; do
    [[ -e $WINEPREFIX/dosdevices/$letter: || -L $WINEPREFIX/dosdevices/$letter: ]] && continue
    if ln -s "$mnt" "$WINEPREFIX/dosdevices/$letter:" 2>/dev/null; then
      link=$WINEPREFIX/dosdevices/$letter:
      export FENNROW_SMALL_DRIVE="${letter^^}:\\"
      break
    fi
  done
fi
if [[ -z $link ]]; then
  echo "reliability: NO SMALL DRIVE could be mounted here: the disk-full case is skipped" >&2
fi

"$WINE64" "$@"
rc=$?

[[ -n $link ]] && rm -f "$link"
mountpoint -q "$mnt" && umount "$mnt"
rmdir "$mnt" 2>/dev/null
exit $rc
