#!/usr/bin/env bash
# Runs a command with the Windows build's Wine (scripts/wine-env.sh) at
# another screen DPI, and puts the DPI back afterwards:
#   scripts/at-dpi.sh 144 ctest --preset win32 -R AboutBox
# Wine 8 reads the DPI from HKCU\Control Panel\Desktop, value LogPixels, and
# only when that is absent from HKLM\System\CurrentControlSet\Hardware
# Profiles\Current\Software\Fonts (checked on Wine 8.0); each process reads it
# as it starts. Under Wine every process gets that DPI, DPI-aware or not:
# Windows would instead stretch a program that is not DPI-aware.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 DPI COMMAND [ARGS...]" >&2; exit 2; }
dpi="$1"
shift
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KEY='HKCU\Control Panel\Desktop'

# The value as it was ("" when absent).
before="$("$ROOT/scripts/wine-env.sh" wine reg query "$KEY" /v LogPixels 2>/dev/null |
          tr -d '\r' | awk '$1 == "LogPixels" { print $3 }')" || true
restore() {
  if [ -n "$before" ]; then
    "$ROOT/scripts/wine-env.sh" wine reg add "$KEY" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null
  else
    "$ROOT/scripts/wine-env.sh" wine reg delete "$KEY" /v LogPixels /f >/dev/null 2>&1 || true
  fi
}
trap restore EXIT
"$ROOT/scripts/wine-env.sh" wine reg add "$KEY" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
"$ROOT/scripts/wine-env.sh" "$@"
