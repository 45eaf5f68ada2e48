#!/usr/bin/env bash
# Configures build-asan/: clang with AddressSanitizer and UndefinedBehaviorSanitizer and
# coverage instrumentation, so the same build runs the test suite and the libFuzzer targets.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVENTARO_SANITIZE=ON -DVENTARO_FUZZ=ON -DVENTARO_BUILD_BENCH=OFF >/dev/null
