#!/usr/bin/env bash
# Builds both builds from scratch where needed and runs every test:
# the host build, the host build with sanitizers, the Windows tests under
# Wine (with a private Xvfb), its dialogs again at 144 DPI, the release
# (signed with a throwaway certificate, its MSI installed, upgraded and
# removed in a fresh Wine prefix) and a short fuzzing run.
# The Windows tests run on the 32-bit product where this machine can run
# 32-bit programs, and otherwise (or with VANTOR_WINE64=1) on the 64-bit
# build of the same sources under 64-bit Wine, with the 32-bit product built,
# checked and packaged but not run (scripts/wine-env.sh decides; the last
# lines say which ran).
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
unprivileged_ran="no"
if [ "$(id -u)" = 0 ]; then
  id -u vantortest >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin vantortest
  chmod -R a+rX build/host
fi
if [ "$(id -u)" != 0 ]; then
  echo "(already unprivileged: the host tests above ran as $(id -un))"
  unprivileged_ran="as $(id -un)"
elif ! runuser -u vantortest -- test -x build/host/tests/vantor_tests; then
  # A checkout inside a folder other users cannot enter (such as /root).
  echo "NOT RUN: the user vantortest cannot reach $PWD/build/host; clone the repository" \
       "where other users can enter to run these tests unprivileged"
  unprivileged_ran="NOT RUN (the build folder is closed to other users)"
else
  unprivileged_ran="as vantortest"
  unprivileged_tmp="$(mktemp -d)"
  chown vantortest: "$unprivileged_tmp"
  runuser -u vantortest -- env TMPDIR="$unprivileged_tmp" HOME="$unprivileged_tmp" \
    build/host/tests/vantor_tests \
    --gtest_filter='ProfileFiles.*:ProfileConformanceFiles.*:FaultPermissions.*:*FaultFullDisk*:FaultKilledWriter.SettingsFileHoldsTheOldOrTheNewValue:HostConfig.*'
  rm -rf "$unprivileged_tmp"
fi

step "win32 build (the product)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
file build/win32/vantor.exe

# Which Windows build this machine can run: the 32-bit product under 32-bit
# Wine, or, on a machine that runs only 64-bit programs (or with
# VANTOR_WINE64=1), the 64-bit build of the same sources under 64-bit Wine.
choice="$(scripts/wine-env.sh --which)"
IFS=$'\t' read -r windows _ why <<<"$choice"
export VANTOR_WINDOWS_BUILD="$windows"
echo "Windows tests run on: $windows ($why)"

step "the 32-bit product, checked as built: PE32 GUI i386, only system DLLs, manifest, DependentLoadFlags"
scripts/check-product.sh build/win32/vantor.exe

if [ "$windows" = win64 ]; then
  step "win64 build (tests only: the same sources for 64-bit Windows, never released)"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j"$jobs"
  file build/win64/vantor.exe
fi

# ctest's own summary line, "N% tests passed, 0 tests failed out of T": T.
count_of() { sed -n 's/.*tests passed, .* tests failed out of \([0-9]*\).*/\1/p' "$1" | tail -1; }
logs="build/test-all-logs"
mkdir -p "$logs"

step "$windows tests under Wine"
# One at a time: the dialog tests share the display and the Wine prefix.
scripts/wine-env.sh ctest --preset "$windows" -j1 2>&1 | tee "$logs/windows.log"
all_tests="$(count_of "$logs/windows.log")"

step "$windows text tests again with a double-byte ANSI code page (932)"
# Wine takes a process's ANSI code page from its locale (LC_ALL; no system
# locale needs to be installed for that).
LC_ALL=ja_JP.UTF-8 scripts/wine-env.sh ctest --preset "$windows" -j1 -R 'CharactersOf|DataReader' 2>&1 |
  tee "$logs/cp932.log"
cp932_tests="$(count_of "$logs/cp932.log")"

step "$windows dialog tests again at 144 DPI"
# The same dialogs, larger: layout, columns, screenshots (dialog-144dpi.png).
rm -f "build/$windows/screenshots/"{dialog,jobs,progress}-144dpi.png
scripts/at-dpi.sh 144 ctest --preset "$windows" -j1 \
  -R '^(AboutBox|ConfigDialog[A-Za-z]*|DialogScreenshots|HostConfigQuestion|JobsWindow|ManualPrinterWin32|ProgressWin32)\.' 2>&1 |
  tee "$logs/dpi144.log"
dpi_tests="$(count_of "$logs/dpi144.log")"
for shot in dialog jobs progress; do
  test -f "build/$windows/screenshots/$shot-144dpi.png" || { echo "the $shot window did not run at 144 DPI" >&2; exit 1; }
done

step "release package: signed zip and MSI; install, job, upgrade, downgrade, removal under Wine"
scripts/package-test.sh 2>&1 | tee "$logs/package.log"

step "fuzzing (libFuzzer, ASan, UBSan; ${VANTOR_FUZZ_SECONDS:-20} s per target)"
scripts/fuzz.sh "${VANTOR_FUZZ_SECONDS:-20}"

step "all tests passed"
if [ "$windows" = win32 ]; then
  echo "Windows tests: the 32-bit product under 32-bit Wine ($why): $all_tests tests," \
       "$cp932_tests again at code page 932, $dpi_tests again at 144 DPI"
else
  echo "Windows tests: 64-bit build of the same sources under 64-bit Wine ($why):" \
       "$all_tests tests, $cp932_tests again at code page 932, $dpi_tests again at 144 DPI;" \
       "the 32-bit product was built, checked and packaged but not run"
fi
grep -h '^package test: ' "$logs/package.log" || true
echo "Host permission-sensitive tests unprivileged: $unprivileged_ran"
