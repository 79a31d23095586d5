#!/usr/bin/env bash
# Builds what the benchmarks need and prints their table: job throughput
# against the bare process-run floor, the cost per line of the journal and of
# the progress window, start-up, the recent jobs view over a 2 x 64 MB
# journal pair (load time, and the peak memory of vantor /JOBS over it, both
# builds), and (host build) the peak memory of a job.
# These are measurements, not tests: targets are printed as PASS or MISS and
# the script fails only when a build or a run fails.
#
#   scripts/bench.sh [host|win32|all]          (default: all)
#
# "win32" measures the Windows build this machine runs (scripts/wine-env.sh):
# the 32-bit product, or where only 64-bit programs run (or VANTOR_WINE64=1)
# the 64-bit test build of the same sources; the table names which.
#
#   BENCH_SIZES       data lines per job, host build   (default 10,100,1000,10000)
#   BENCH_WINE_SIZES  data lines per job, under Wine   (default 10,100,1000: every
#                     process start costs milliseconds under Wine, so 10000 lines
#                     take minutes; set it to 10,100,1000,10000 for the full run)
#   BENCH_STARTUP_RUNS  one-line jobs timed for the start-up median (default 20)
#   BENCH_WORK        host build: the folder to run the jobs in (default inside
#                     build/bench-host, and then a second run of the 1000-line
#                     job in /dev/shm, which shows the figures without the disk,
#                     whose flush dominates each line's settings write)
#
# Builds: Release, without tests, in build/bench-host and build/bench-win32
# (or build/bench-win64); the Windows build runs under Wine with its own
# prefix in that folder.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"
WHICH="${1:-all}"
HOST_SIZES="${BENCH_SIZES:-10,100,1000,10000}"
WINE_SIZES="${BENCH_WINE_SIZES:-10,100,1000}"
STARTUP_RUNS="${BENCH_STARTUP_RUNS:-20}"
WORK_ARGS=()
if [ -n "${BENCH_WORK:-}" ]; then WORK_ARGS=(--work "$BENCH_WORK"); fi

# Runs a build step quietly; shows its output when it fails.
quietly() {
  local log; log="$(mktemp)"
  if ! "$@" >"$log" 2>&1; then cat "$log" >&2; rm -f "$log"; return 1; fi
  rm -f "$log"
}

bench_host() {
  echo "==== building build/bench-host (Release)" >&2
  quietly cmake -S . -B build/bench-host -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF
  quietly cmake --build build/bench-host -j2 --target vantor bench_runner job_bench
  build/bench-host/bench/job_bench --sizes "$HOST_SIZES" --startup-runs "$STARTUP_RUNS" --memory-mb 10 \
    "${WORK_ARGS[@]}"
  # The same job with its folder in memory: what the disk's flushes cost.
  if [ -z "${BENCH_WORK:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    echo
    build/bench-host/bench/job_bench --sizes 1000 --work /dev/shm --throughput-only
  fi
}

bench_win32() {
  scripts/install-deps.sh
  local windows toolchain
  IFS=$'\t' read -r windows _ < <(scripts/wine-env.sh --which)
  if [ "$windows" = win64 ]; then toolchain=mingw-x86_64; else toolchain=mingw-i686; fi
  echo "==== building build/bench-$windows (Release, mingw-w64)" >&2
  quietly cmake -S . -B "build/bench-$windows" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DVANTOR_TESTS=OFF
  quietly cmake --build "build/bench-$windows" -j2 --target vantor bench_runner job_bench
  VANTOR_WINDOWS_BUILD="$windows" WINEPREFIX="${WINEPREFIX:-$ROOT/build/bench-$windows/wineprefix}" \
    scripts/wine-env.sh wine "build/bench-$windows/bench/job_bench.exe" --sizes "$WINE_SIZES" \
    --startup-runs "$STARTUP_RUNS"
}

case "$WHICH" in
  host) bench_host ;;
  win32) bench_win32 ;;
  all) bench_host; echo; bench_win32 ;;
  *) echo "usage: $0 [host|win32|all]" >&2; exit 2 ;;
esac
