#!/usr/bin/env bash
# Runs every test executable of the release build, and the fuzz targets replaying their
# corpora, under Valgrind memcheck, one at a time, and prints one line per executable. Errors
# (invalid reads and writes, uses of uninitialised values, definite leaks) fail it. Processes
# the tests start (the tool, the simulated unit) run natively. About ten minutes.
#   scripts/valgrind.sh [REGEX]   only the tests whose name matches
set -uo pipefail
cd "$(dirname "$0")/.."
filter=${1:-.}
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt-get install valgrind)"; exit 2; }
[ -d build/tests ] || { echo "build/ first: scripts/test.sh"; exit 2; }
# QRegularExpression compiles to machine code that memcheck cannot follow: interpreted here.
export QT_QPA_PLATFORM=offscreen VENTARO_BUILD_DIR=$PWD/build VENTARO_SOURCE_DIR=$PWD \
    QTEST_FUNCTION_TIMEOUT=3600000 QT_ENABLE_REGEXP_JIT=0
logs=build/valgrind
mkdir -p "$logs"
failed=0
for t in $(find build/tests build/fuzz -maxdepth 1 -type f -perm -u+x \( -name "tst_*" -o -name "fuzz_*" \) |
        sort | grep -E "$filter"); do
    name=$(basename "$t")
    start=$(date +%s)
    valgrind --tool=memcheck --error-exitcode=97 --leak-check=full \
        --errors-for-leak-kinds=definite --show-leak-kinds=definite --num-callers=30 \
        --suppressions=scripts/valgrind.supp --gen-suppressions=all \
        "$t" -maxwarnings 0 >"$logs/$name.log" 2>&1
    rc=$?
    errors=$(grep -E '^==[0-9]+== ERROR SUMMARY' "$logs/$name.log" | tail -1 | sed 's/.*ERROR SUMMARY: \([0-9]*\).*/\1/')
    totals=$(grep -E '^Totals:' "$logs/$name.log" | tail -1)
    printf '%-24s rc=%-3s errors=%-4s %4ss  %s\n' "$name" "$rc" "${errors:-?}" "$(( $(date +%s) - start ))" "$totals"
    [ "$rc" -eq 0 ] || failed=1
done
exit $failed
