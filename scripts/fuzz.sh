#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan and runs each for N seconds
# (default 60), starting from its committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVENTARO_FUZZ=ON -DVENTARO_BUILD_BENCH=OFF >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build build-fuzz --target $targets
export QT_QPA_PLATFORM=offscreen
for t in $targets; do
    corpus=fuzz/corpus/${t#fuzz_}
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "== $t for ${seconds}s"
    build-fuzz/fuzz/$t -max_total_time="$seconds" -print_final_stats=1 "$work" 2>&1 | tail -n 12
    rm -rf "$work"
done
