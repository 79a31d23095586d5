#!/usr/bin/env bash
# Runs a command with the Windows build's Wine set up: a prefix inside the
# build folder, no add-on installers, and an X display (a private Xvfb when
# none is set), so nothing ever waits for a click.
#   scripts/wine-env.sh COMMAND [ARGS...]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/win32/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # Let Xvfb pick a free display number and tell us which.
  exec {fd}<> <(:)
  # Tall enough for the configuration dialog at 144 DPI (about 1150 pixels
  # with its frame), which the test command also shows.
  Xvfb -displayfd "$fd" -screen 0 1600x1400x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 20 num <&"$fd" || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$num"
fi

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null
fi
# Keep one wineserver for the whole run, so each test process starts fast.
# Start Wine's background services now, with their output going nowhere:
# services started by a test run would inherit its output pipe and keep
# CTest waiting for it to close.
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

"$@" </dev/null
