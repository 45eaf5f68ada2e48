#!/usr/bin/env bash
# The long update soak: 200 updates of simulated units under seeded link faults, and the cable
# pulled at every request of a plus unit's update (every 7th of a 100-series unit's). Prints
# the tables. More runs or another seed:
#   VENTARO_SOAK_RUNS=1000 VENTARO_SOAK_SEED=5000 scripts/soak.sh
# The short soak is part of the test suite (tst_updatesoak).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tst_updatesoak
VENTARO_SOAK=long QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=7200000 build/tests/tst_updatesoak -maxwarnings 0 "$@" |
    grep -v -E '^(QDEBUG|QWARN|QINFO|QSYSTEM) |^   Loc: '
