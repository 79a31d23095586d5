#!/usr/bin/env bash
# Runs a command with the Windows build's Wine set up: the Wine this machine
# can run, a prefix inside the build folder, no add-on installers, and an X
# display (a private Xvfb when none is set), so nothing ever waits for a click.
#   scripts/wine-env.sh COMMAND [ARGS...]
#   scripts/wine-env.sh --which     prints, tab-separated, the Windows build
#                                   this machine tests ("win32" or "win64"),
#                                   whether it runs 32-bit programs (1 or 0),
#                                   and why
#
# This is the one place that chooses Wine's loader and server; tests,
# benchmarks, the sample job and the package test all run under it, and call
# `wine` and `wineserver` only as it puts them first on PATH.
#  - A machine that can start Wine's 32-bit loader (a 32-bit Linux program)
#    tests the product itself, the 32-bit build (build/win32), under 32-bit
#    Wine in a 32-bit prefix.
#  - A machine whose kernel runs only 64-bit programs ("Exec format error")
#    cannot: it tests the 64-bit build of the same sources (build/win64) under
#    64-bit Wine in a 64-bit prefix. Debian's `wine` wrapper would pick the
#    32-bit loader whenever wine32 is installed, so it is never called here.
#  - VANTOR_WINE64=1 takes the 64-bit path on any machine (to test it on a
#    machine that runs both); VANTOR_WINDOWS_BUILD=win32|win64 fixes the
#    choice outright (the callers pass on what they were told).
# The choice is made by trying: the 32-bit loader is started once.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WINE_LIB="${VANTOR_WINE_LIB:-/usr/lib/wine}"   # Debian 12's loaders and servers

# Whether this machine starts Wine's 32-bit loader (a 32-bit Linux program).
runs_32bit() { [ -x "$WINE_LIB/wine" ] && "$WINE_LIB/wine" --version >/dev/null 2>&1; }

# Sets BUILD (win32|win64) and WHY, or fails with what to do.
choose() {
  WINE32_RUNS=0
  if runs_32bit; then WINE32_RUNS=1; fi
  if [ -n "${VANTOR_WINDOWS_BUILD:-}" ]; then
    BUILD="$VANTOR_WINDOWS_BUILD"; WHY="chosen by VANTOR_WINDOWS_BUILD"
  elif [ "${VANTOR_WINE64:-0}" = 1 ]; then
    BUILD=win64; WHY="the 64-bit path forced by VANTOR_WINE64=1"
  elif [ "$WINE32_RUNS" = 1 ]; then
    BUILD=win32; WHY="this machine runs 32-bit programs"
  elif [ -x "$WINE_LIB/wine64" ] && "$WINE_LIB/wine64" --version >/dev/null 2>&1; then
    BUILD=win64; WHY="this machine cannot run 32-bit programs"
  else
    echo "wine-env.sh: neither Wine's 32-bit loader ($WINE_LIB/wine) nor its 64-bit loader" \
         "($WINE_LIB/wine64) starts on this machine; run scripts/install-deps.sh" >&2
    exit 1
  fi
  case "$BUILD" in
    win32) LOADER="$WINE_LIB/wine"; ARCH=win32 ;;
    win64) LOADER="$WINE_LIB/wine64"; ARCH=win64 ;;
    *) echo "wine-env.sh: VANTOR_WINDOWS_BUILD must be win32 or win64, not $BUILD" >&2; exit 1 ;;
  esac
  # Either server serves either loader; the 64-bit one runs everywhere.
  SERVER="$WINE_LIB/wineserver64"
  [ -x "$SERVER" ] || SERVER="$WINE_LIB/wineserver32"
  "$LOADER" --version >/dev/null 2>&1 ||
    { echo "wine-env.sh: $LOADER does not start on this machine ($BUILD path)" >&2; exit 1; }
}

choose
if [ "${1:-}" = "--which" ]; then
  printf '%s\t%s\t%s\n' "$BUILD" "$WINE32_RUNS" "$WHY"
  exit 0
fi

# `wine` and `wineserver` on PATH are the chosen ones (CTest's emulator is
# `wine`); WINELOADER and WINESERVER make Wine start the same ones for child
# processes and for the server.
SHIM="$ROOT/build/wine-bin/$BUILD"
mkdir -p "$SHIM"
printf '#!/bin/sh\nexec "%s" "$@"\n' "$LOADER" > "$SHIM/wine.new"
printf '#!/bin/sh\nexec "%s" "$@"\n' "$SERVER" > "$SHIM/wineserver.new"
chmod +x "$SHIM/wine.new" "$SHIM/wineserver.new"
mv -f "$SHIM/wine.new" "$SHIM/wine"
mv -f "$SHIM/wineserver.new" "$SHIM/wineserver"
export PATH="$SHIM:$PATH" WINELOADER="$LOADER" WINESERVER="$SERVER"
# VANTOR_WINE32_RUNS: whether a 32-bit program can run here at all (in a
# 64-bit prefix too, where Wine starts it with the 32-bit loader).
export VANTOR_WINDOWS_BUILD="$BUILD" WINEARCH="$ARCH" VANTOR_WINE32_RUNS="$WINE32_RUNS"
# The prefix the tests' own properties name (build/<build>/wineprefix), so
# the server kept alive below is the one every test talks to.
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/$BUILD/wineprefix}"
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
  echo "Creating the $ARCH Wine prefix in $WINEPREFIX"
  wine wineboot.exe -i >/dev/null 2>&1 </dev/null
fi
# Keep one wineserver for the whole run, so each test process starts fast:
# a server that Wine starts by itself ends as soon as its last process does
# (Debian starts it with -p0), and each test would then start the server and
# Wine's services anew (seconds each). So end any server of this prefix and
# start a persistent one. Then start Wine's background services, with their
# output going nowhere: services started by a test run would inherit its
# output pipe and keep CTest waiting for it to close.
if wineserver -k >/dev/null 2>&1 </dev/null; then wineserver -w >/dev/null 2>&1 </dev/null || true; fi
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

"$@" </dev/null
