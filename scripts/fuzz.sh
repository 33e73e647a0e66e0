#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, ASan and UBSan) in
# build/fuzz and runs them.
#
#   fuzz.sh                          build only
#   fuzz.sh <target> <seconds> [libFuzzer options...]
#                                    fuzz one target, e.g. `fuzz.sh jpeg 7200 -fork=4`
#   fuzz.sh --all <seconds> [libFuzzer options...]
#                                    every target for that long, one per
#                                    processor at a time (CI: `--all 5 -runs=50000`)
#   fuzz.sh --list                   the target names
#
# Each run starts from the committed seeds (tests/fuzz/corpus/<target>, never
# written) and the inputs earlier runs found (build/fuzz/corpus/<target>,
# where new ones go). A crash, a leak, undefined behaviour, a broken check of
# the target or an input slower than 10 s stops the run with a non-zero
# status and leaves the input in build/fuzz/crashes/; replay it with
#   build/fuzz/tests/fuzz/tessera_fuzz_<target> <file>
# and keep it as a seed once the fault is mended.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" -DTESSERA_FUZZ=ON -DTESSERA_TESTS=OFF >/dev/null
cmake --build "$build" -j "${FUZZ_BUILD_JOBS:-$(nproc)}" --target tessera_fuzzers
mapfile -t targets < "$build/fuzz-targets.txt"

# One target for the given time; the run's log is printed only on failure
# unless FUZZ_VERBOSE is set.
run_target() {
  local target=$1 seconds=$2
  shift 2
  local binary="$build/tests/fuzz/tessera_fuzz_$target"
  [[ -x "$binary" ]] || { echo "fuzz: no target '$target' (fuzz.sh --list)" >&2; return 2; }
  mkdir -p "$build/corpus/$target" "$build/crashes"
  local log="$build/crashes/$target.log"
  local status=0
  # A pixel block above 16 MiB already fails inside the targets; other
  # allocations above 1 GiB (a library sized by a damaged header) are faults.
  "$binary" "$build/corpus/$target" "$root/tests/fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -malloc_limit_mb=1024 \
    -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 "$@" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [[ $status -ne 0 ]]; then
    echo "fuzz: $target FAILED (status $status) after ${runs:-?} runs; log $log"
    cat "$log"
    return 1
  fi
  echo "fuzz: $target ${runs:-?} runs (at most ${seconds} s), no fault"
  [[ -n "${FUZZ_VERBOSE:-}" ]] && cat "$log"
  return 0
}

case "${1:-}" in
  "") exit 0 ;;
  --list) printf '%s\n' "${targets[@]}" ;;
  --all)
    seconds=${2:?usage: fuzz.sh --all <seconds> [libFuzzer options...]}
    shift 2
    # As many targets at once as there are processors: each runs on one.
    parallel=$(nproc)
    failed=0
    running=0
    for target in "${targets[@]}"; do
      if [[ $running -ge $parallel ]]; then
        wait -n || failed=$((failed + 1))
        running=$((running - 1))
      fi
      run_target "$target" "$seconds" "$@" &
      running=$((running + 1))
    done
    while [[ $running -gt 0 ]]; do
      wait -n || failed=$((failed + 1))
      running=$((running - 1))
    done
    echo "fuzz: $((${#targets[@]} - failed)) passed, $failed failed"
    [[ $failed -eq 0 ]]
    ;;
  *)
    target=$1
    seconds=${2:?usage: fuzz.sh <target> <seconds> [libFuzzer options...]}
    shift 2
    run_target "$target" "$seconds" "$@"
    ;;
esac
