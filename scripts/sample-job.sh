#!/usr/bin/env bash
# Runs the sample print job of samples/ through a built connector, with the
# stand-in label program (tools/standin_runner) in the place of Tarvel.exe,
# and prints the command lines the label program received and the LastJob
# record the connector left in its settings file.
#
#   scripts/sample-job.sh [windows|win32|win64|host|all]     (default: all)
#
# "windows" is the Windows build this machine can run (scripts/wine-env.sh
# decides: the 32-bit product, or the 64-bit test build where only 64-bit
# programs run); "all" is that one and the host build. The builds are taken
# from build/win32, build/win64 and build/host, or from the folders named by
# VANTOR_WIN32_BUILD, VANTOR_WIN64_BUILD and VANTOR_HOST_BUILD; a build that
# is missing is skipped under "all" and an error otherwise. Each run lays out a fresh
# folder build/sample-job/<build>/ with vantor[.exe], Tarvel.exe, the template
# Shelf.tvl and the data file shelf-job.txt. The Windows build runs under Wine
# (scripts/wine-env.sh); it is started through tools/win32/launch_exact.exe so
# that it receives exactly the command line printed below.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WIN32_BUILD="${VANTOR_WIN32_BUILD:-$ROOT/build/win32}"
WIN64_BUILD="${VANTOR_WIN64_BUILD:-$ROOT/build/win64}"
HOST_BUILD="${VANTOR_HOST_BUILD:-$ROOT/build/host}"
WHICH="${1:-all}"

# Linux path to the name Wine gives it (drive Z: is the Linux root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# Lays out the folder: $1 build folder, $2 target folder, $3 exe suffix.
lay_out() {
  local build="$1" dir="$2" suffix="$3"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$build/vantor$suffix" "$dir/vantor$suffix"
  cp "$build/tools/standin_runner$suffix" "$dir/Tarvel.exe"
  chmod +x "$dir/Tarvel.exe" "$dir/vantor$suffix"
  cp "$ROOT/samples/Shelf.tvl" "$ROOT/samples/shelf-job.txt" "$dir/"
}

# Prints what the run left: $1 folder.
report() {
  local dir="$1"
  echo "--- command lines the label program received (Tarvel.log):"
  if [ -f "$dir/Tarvel.log" ]; then
    # %0D, %0A and %25 stand for CR, LF and % in the log.
    sed -n 's/^cmdline=//p' "$dir/Tarvel.log" | sed 's/%0D/\\r/g; s/%0A/\\n/g; s/%09/\\t/g; s/%25/%/g'
  else
    echo "(none: the label program did not run)"
  fi
  echo "--- [LastJob] in vantor.ini:"
  tr '\r' '\n' < "$dir/vantor.ini" | awk '/^\[/{show = ($0 == "[LastJob]")} show && NF'
}

# The Windows build this machine runs: win32 or win64.
runnable_windows() { local b _; IFS=$'\t' read -r b _ < <("$ROOT/scripts/wine-env.sh" --which); echo "$b"; }

# Runs the sample job with a Windows build: $1 win32 or win64.
run_windows() {
  local which="$1" build
  if [ "$which" = win64 ]; then build="$WIN64_BUILD"; else build="$WIN32_BUILD"; fi
  local dir="$ROOT/build/sample-job/$which"
  if [ ! -f "$build/vantor.exe" ] || [ ! -f "$build/tools/launch_exact.exe" ]; then
    echo "No Windows build in $build (build it first)." >&2
    return 1
  fi
  lay_out "$build" "$dir" ".exe"
  local w; w="$(winpath "$dir")"
  local line="\"$w\\vantor.exe\" /F=$w\\Shelf.tvl /D=\"$w\\shelf-job.txt\""
  printf '%s' "$line" > "$dir/command-line.txt"
  if [ "$which" = win64 ]; then
    echo "=== Windows: the 64-bit test build of the same sources, under 64-bit Wine"
  else
    echo "=== Windows: the 32-bit product, under 32-bit Wine"
  fi
  echo "command line: $line"
  VANTOR_WINDOWS_BUILD="$which" WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" "$ROOT/scripts/wine-env.sh" \
    wine "$build/tools/launch_exact.exe" "$(winpath "$dir/command-line.txt")"
  report "$dir"
}

run_host() {
  local dir="$ROOT/build/sample-job/host"
  if [ ! -x "$HOST_BUILD/vantor" ]; then
    echo "No host build in $HOST_BUILD (build it first)." >&2
    return 1
  fi
  lay_out "$HOST_BUILD" "$dir" ""
  echo "=== Host build"
  echo "command line: $dir/vantor /F=$dir/Shelf.tvl /D=$dir/shelf-job.txt"
  "$dir/vantor" "/F=$dir/Shelf.tvl" "/D=$dir/shelf-job.txt" </dev/null
  report "$dir"
}

case "$WHICH" in
  win32|win64) run_windows "$WHICH" ;;
  windows) run_windows "$(runnable_windows)" ;;
  host) run_host ;;
  all)
    ran=0
    windows="$(runnable_windows)"
    if [ "$windows" = win64 ]; then wbuild="$WIN64_BUILD"; else wbuild="$WIN32_BUILD"; fi
    if [ -f "$wbuild/vantor.exe" ]; then run_windows "$windows"; ran=1; fi
    if [ -x "$HOST_BUILD/vantor" ]; then run_host; ran=1; fi
    if [ "$ran" = 0 ]; then echo "No build found in $wbuild or $HOST_BUILD." >&2; exit 1; fi
    ;;
  *) echo "usage: $0 [windows|win32|win64|host|all]" >&2; exit 2 ;;
esac
