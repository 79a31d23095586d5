#!/usr/bin/env bash
# Builds both builds from scratch where needed and runs every test:
# the host build, the host build with sanitizers, the Windows build under
# Wine (with a private Xvfb), its dialogs again at 144 DPI, the release
# (signed with a throwaway certificate, its MSI installed, upgraded and
# removed in a fresh Wine prefix) and a short fuzzing run.
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

# ---- host: permission-sensitive tests as an unprivileged user ------------
# The suite runs as root here, and root passes most access checks: the
# settings-file tests that depend on ownership and access rights run again as
# a system user without privileges (created once, kept), in a temporary
# folder of its own.
step "host permission-sensitive tests as the unprivileged user vantortest"
if [ "$(id -u)" = 0 ]; then
  id -u vantortest >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin vantortest
  chmod -R a+rX build/host
  unprivileged_tmp="$(mktemp -d)"
  chown vantortest: "$unprivileged_tmp"
  runuser -u vantortest -- env TMPDIR="$unprivileged_tmp" HOME="$unprivileged_tmp" \
    build/host/tests/vantor_tests \
    --gtest_filter='ProfileFiles.*:ProfileConformanceFiles.*:FaultPermissions.*:*FaultFullDisk*:FaultKilledWriter.SettingsFileHoldsTheOldOrTheNewValue:HostConfig.*'
  rm -rf "$unprivileged_tmp"
else
  echo "(already unprivileged: the host tests above ran as $(id -un))"
fi

step "win32 build"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
file build/win32/vantor.exe
step "win32 tests under Wine"
# One at a time: the dialog tests share the display and the Wine prefix.
scripts/wine-env.sh ctest --preset win32 -j1

step "win32 text tests again with a double-byte ANSI code page (932)"
# Wine takes a process's ANSI code page from its locale (LC_ALL; no system
# locale needs to be installed for that).
LC_ALL=ja_JP.UTF-8 scripts/wine-env.sh ctest --preset win32 -j1 -R 'CharactersOf|DataReader'

step "win32 dialog tests again at 144 DPI"
# The same dialogs, larger: layout, columns, screenshots (dialog-144dpi.png).
rm -f build/win32/screenshots/dialog-144dpi.png
scripts/at-dpi.sh 144 ctest --preset win32 -j1 \
  -R '^(AboutBox|ConfigDialog[A-Za-z]*|DialogScreenshots|HostConfigQuestion|ManualPrinterWin32)\.'
test -f build/win32/screenshots/dialog-144dpi.png || { echo "the dialogs did not run at 144 DPI" >&2; exit 1; }

step "release package: signed zip and MSI; install, job, upgrade, downgrade, removal under Wine"
scripts/package-test.sh

step "fuzzing (libFuzzer, ASan, UBSan; ${VANTOR_FUZZ_SECONDS:-20} s per target)"
scripts/fuzz.sh "${VANTOR_FUZZ_SECONDS:-20}"

step "all tests passed"
