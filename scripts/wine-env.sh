# Sourced by the scripts that run Windows programs: a private Wine prefix in code page 936,
# a virtual screen when there is no display, and one persistent wineserver for the whole run.
# Always call wine64 directly: the `wine` wrapper may go through a 32-bit loader.
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
export WINEPREFIX=${WINEPREFIX:-${FENNROW_ROOT:?}/build/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

fennrow_start_display() {
  [[ -n ${DISPLAY:-} ]] && return 0
  local n
  for n in $(seq 91 140); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    FENNROW_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    echo "Xvfb did not come up on :$n" >&2
    return 1
  done
  echo "no free display number" >&2
  return 1
}

fennrow_start_wine() {
  fennrow_start_display
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p "$WINEPREFIX"
    # With wine32 present this also sets up the 32-bit system DLLs: minutes, not seconds.
    timeout 900 "$WINE64" wineboot -i >/dev/null 2>&1 || true
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      echo "wineboot did not create the prefix $WINEPREFIX" >&2
      return 1
    fi
    # No window manager here: let Wine draw the frames itself.
    timeout 60 "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  # The server that wineboot started must be gone before a persistent one can take over.
  timeout 120 "$WINESERVER64" -w || true
  "$WINESERVER64" -p
  # Bounded wait until the server answers.
  timeout 120 "$WINE64" cmd /c exit >/dev/null 2>&1 || true
}

fennrow_stop_wine() {
  "$WINESERVER64" -k >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER64" -w >/dev/null 2>&1 || true
  if [[ -n ${FENNROW_XVFB_PID:-} ]]; then
    kill "$FENNROW_XVFB_PID" 2>/dev/null || true
    wait "$FENNROW_XVFB_PID" 2>/dev/null || true
  fi
}

# The Windows path of a Linux path (Wine maps / to drive Z:).
winepath_of() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}
