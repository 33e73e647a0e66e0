#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test; threading tests also run
# under ThreadSanitizer; the fuzz targets are built with clang and run a few
# seconds each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --test
export TESSERA_TESTDATA=${TESSERA_TESTDATA:-$HOME/.cache/tessera-testdata}
"$root/scripts/fetch-testdata.sh" "$TESSERA_TESTDATA"

# Every tracked C++ file must match the committed .clang-format.
"$root/scripts/check-format.sh"

jobs=$(nproc)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_WERROR=ON \
  "-DTESSERA_SANITIZE=address;undefined" "-DTESSERA_TESTDATA_DIR=$TESSERA_TESTDATA"
cmake --build "$root/build/asan" -j "$jobs"
ctest --test-dir "$root/build/asan" -j "$jobs" --output-on-failure

# The test binaries marked THREADS are built and run a second time under TSan.
cmake -S "$root" -B "$root/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_WERROR=ON \
  -DTESSERA_SANITIZE=thread "-DTESSERA_TESTDATA_DIR=$TESSERA_TESTDATA"
if [[ -s "$root/build/tsan/tsan-targets.txt" ]]; then
  read -r -a tsan_targets < "$root/build/tsan/tsan-targets.txt"
  cmake --build "$root/build/tsan" -j "$jobs" --target "${tsan_targets[@]}"
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    ctest --test-dir "$root/build/tsan" -j "$jobs" -L threads --output-on-failure
fi

# Every fuzz target (tests/fuzz) for 5 s from its seeds; a crash, leak,
# undefined behaviour or broken check fails the run. scripts/fuzz.sh runs
# them for hours.
FUZZ_BUILD_JOBS=$jobs "$root/scripts/fuzz.sh" --all 5 -runs=50000
