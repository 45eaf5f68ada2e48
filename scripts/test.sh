#!/usr/bin/env bash
# Builds the project and runs the whole test suite.
#   scripts/test.sh             release build in build/
#   scripts/test.sh --sanitize  ASan+UBSan build (clang) in build-asan/, shared with the fuzzers
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    scripts/asan-configure.sh
    # The umockdev tests preload umockdev's library ahead of everything; with a shared ASan
    # runtime its link-order check would refuse to start them.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:verify_asan_link_order=0"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2
