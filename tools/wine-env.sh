# Sourced by the scripts that run the Windows build under Wine: a 32-bit Wine
# prefix inside the build directory and, unless DISPLAY is already set, a
# private Xvfb server on a free display. The caller runs wine_env_stop when
# it ends (from its EXIT trap).
#   wine_env_start BUILD_DIR
wine_env_start() {
  export WINEPREFIX="${WINEPREFIX:-$(cd "$1" && pwd)/wineprefix}"
  # No Mono or Gecko installer dialogs when the prefix is made.
  export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [[ -z "${DISPLAY:-}" ]]; then
    command -v Xvfb >/dev/null || { echo "no DISPLAY and no Xvfb" >&2; return 1; }
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    WINE_ENV_XVFB=$!
    local number
    read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$number"
  fi
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
    wineserver -w
  fi
  # Unmanaged windows: without a window manager, Wine otherwise waits two
  # seconds for each top-level window it destroys.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  if [[ -n "${WINE_ENV_XVFB:-}" ]]; then
    kill "$WINE_ENV_XVFB" 2>/dev/null || true
    wait "$WINE_ENV_XVFB" 2>/dev/null || true
  fi
}
