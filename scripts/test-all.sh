#!/usr/bin/env bash
# Builds both builds from scratch where needed and runs every test:
# the host build, the host build with sanitizers, the Windows build under
# Wine (with a private Xvfb), the release package and a short fuzzing run.
# Installs what is missing first. Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

jobs=2
step() { printf '\n==== %s\n' "$*"; }

step "host build"
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs"
step "host tests"
ctest --preset host -j"$jobs"

step "host build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j"$jobs"
step "host tests with sanitizers"
ctest --preset host-asan -j"$jobs"

step "win32 build"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
file build/win32/vantor.exe
step "win32 tests under Wine"
# One at a time: the dialog tests share the display and the Wine prefix.
scripts/wine-env.sh ctest --preset win32 -j1

step "release package"
cmake --build --preset win32 --target release
unzip -l build/release/vantor-2.0.5.0-win32.zip

step "fuzzing (libFuzzer, ASan, UBSan; ${VANTOR_FUZZ_SECONDS:-20} s per target)"
scripts/fuzz.sh "${VANTOR_FUZZ_SECONDS:-20}"

step "all tests passed"
