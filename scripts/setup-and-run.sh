#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs a sample print job
# end to end: installs what is missing, builds the host and the Windows
# build, then runs the sample job with the Windows build this machine can run
# under Wine (the 32-bit product, or where only 64-bit programs run, the
# 64-bit build of the same sources; scripts/wine-env.sh decides) and with
# the host build, and prints what the stand-in label program received and
# the LastJob record the connector wrote.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

printf '\n==== building the host build (build/host)\n'
cmake --preset host >/dev/null
cmake --build --preset host -j2

printf '\n==== building the Windows product (build/win32)\n'
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
file build/win32/vantor.exe

IFS=$'\t' read -r windows _ why < <(scripts/wine-env.sh --which)
printf '\n==== this machine runs the %s build under Wine (%s)\n' "$windows" "$why"
if [ "$windows" = win64 ]; then
  printf '==== building the 64-bit test build of the same sources (build/win64)\n'
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2
  file build/win64/vantor.exe
fi

printf '\n==== sample print job\n'
scripts/sample-job.sh all
