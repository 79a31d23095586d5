#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs a sample print job
# end to end: installs what is missing, builds the host and the Windows
# build, then runs the sample job with the Windows build under Wine and with
# the host build, and prints what the stand-in label program received and
# the LastJob record the connector wrote.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

printf '\n==== building the host build (build/host)\n'
cmake --preset host >/dev/null
cmake --build --preset host -j2

printf '\n==== building the Windows build (build/win32)\n'
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
file build/win32/vantor.exe

printf '\n==== sample print job\n'
scripts/sample-job.sh
