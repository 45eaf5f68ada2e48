#!/usr/bin/env bash
# Builds the project and runs the whole test suite.
#   scripts/test.sh             release build in build/
#   scripts/test.sh --sanitize  ASan+UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DVENTARO_SANITIZE=ON -DVENTARO_BUILD_BENCH=OFF)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2
