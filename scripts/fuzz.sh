#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan, UBSan) and runs
# each one for a bounded time.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# Default: 20 seconds for each of fuzz_command_line, fuzz_data_reader,
# fuzz_profile, fuzz_windows_cmdline and fuzz_journal. Each target starts from the seeds in
# fuzz/corpus/<target>/, copied into build/fuzz/corpus-work/<target>/, where
# what it learns is kept from one run to the next (the repository's seeds stay
# as they are). An input that crashes or breaks an invariant is kept in
# build/fuzz/crashes/<target>/; the full output is in build/fuzz/logs/.
# Exits non-zero when a target fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-20}"
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_command_line fuzz_data_reader fuzz_profile fuzz_windows_cmdline fuzz_journal)
fi
case "$seconds" in ''|*[!0-9]*) echo "usage: $0 [seconds-per-target] [target...]" >&2; exit 2;; esac

build=build/fuzz

# clang with its libFuzzer and sanitizer runtimes (Debian: libclang-rt-14-dev).
have_libfuzzer() {
  command -v clang++ >/dev/null 2>&1 || return 1
  mkdir -p "$build"
  local probe="$build/libfuzzer-probe"
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    | clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o "$probe" >/dev/null 2>&1
  local ok=$?
  rm -f "$probe"
  return $ok
}
if ! have_libfuzzer; then
  scripts/install-deps.sh
  if ! have_libfuzzer; then
    echo "fuzz.sh: clang++ cannot link -fsanitize=fuzzer,address,undefined (is libclang-rt-14-dev installed?)" >&2
    exit 1
  fi
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"

mkdir -p "$build/corpus-work" "$build/crashes" "$build/logs"
failed=()
summary=()
for t in "${targets[@]}"; do
  work="$build/corpus-work/$t"
  crashes="$build/crashes/$t"
  log="$build/logs/$t.log"
  mkdir -p "$work" "$crashes"
  cp fuzz/corpus/"$t"/* "$work"/
  dict=()
  if [ -f "fuzz/$t.dict" ]; then dict=(-dict="fuzz/$t.dict"); fi

  printf '\n==== %s: %s s\n' "$t" "$seconds"
  status=0
  "$build/fuzz/$t" "$work" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crashes/" >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  files=$(find "$work" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    line="$t: ok, ${runs:-?} executions in $seconds s, corpus $files inputs"
  else
    line="$t: FAILED (exit $status) after ${runs:-?} executions; input kept in $crashes/"
    failed+=("$t")
    grep -E 'invariant broken|ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error' -A 3 "$log" | head -n 20 || true
  fi
  echo "$line"
  summary+=("$line")
done

printf '\n==== fuzzing summary\n'
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (logs in $build/logs/)" >&2
  exit 1
fi
