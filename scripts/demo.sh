#!/usr/bin/env bash
# Demo: installs what is missing, builds korvath-update and ventaro-devsim, starts a simulated
# ventaro100 on a pseudo-terminal and runs korvath-update against it. The unit runs its
# bootloader copy 1 with bootloader and application 2.20, older than the built-in 2.24 images,
# so the tool offers an update.
#
#   scripts/demo.sh [korvath-update options]
#
# With $DISPLAY set the tool opens its window; close it to end the demo. Without a display it
# runs offscreen with -ap (or the options given), prints its console log and its exit code, and
# is stopped after $DEMO_SECONDS seconds (default 30) if it has not ended by itself.
# DEMO_MODEL=plus simulates a plus unit instead (no WiFi module: a full update in about 20 s).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh
build=${DEMO_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target korvath-update ventaro-devsim

work=$(mktemp -d)
ports=$work/ports
mkdir -p "$ports"
sim_pid=""
tool_pid=""
cleanup() {
    for pid in $tool_pid $sim_pid; do
        if kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

"$root/$build/tools/devsim/ventaro-devsim" --port-dir "$ports" --name demo \
    --model "${DEMO_MODEL:-100}" \
    --serial 50123 --partner 1 --boot-version 2.20 --appl-version 2.20 \
    2>"$work/devsim.log" &
sim_pid=$!
for _ in $(seq 100); do
    [ -e "$ports/demo.port" ] && break
    sleep 0.05
done
if [ ! -e "$ports/demo.port" ]; then
    echo "demo: the simulated unit did not announce its port" >&2
    cat "$work/devsim.log" >&2
    exit 1
fi
echo "demo: simulated unit on $(sed -n 's/^port=//p' "$ports/demo.port")"
export VENTARO_PORT_DIR=$ports

if [ -n "${DISPLAY:-}" ]; then
    set +e
    (cd "$work" && "$root/$build/src/korvath-update" "$@")
    rc=$?
    set -e
else
    args=("$@")
    [ ${#args[@]} -gt 0 ] || args=(-ap)
    seconds=${DEMO_SECONDS:-30}
    echo "demo: no display; running offscreen: korvath-update ${args[*]}"
    (cd "$work" && QT_QPA_PLATFORM=offscreen exec "$root/$build/src/korvath-update" "${args[@]}") &
    tool_pid=$!
    for _ in $(seq $((seconds * 10))); do
        kill -0 "$tool_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$tool_pid" 2>/dev/null; then
        echo "demo: stopping korvath-update after ${seconds} s"
        kill -TERM "$tool_pid"
    fi
    set +e
    wait "$tool_pid"
    rc=$?
    set -e
    tool_pid=""
fi
echo "demo: korvath-update exit code $rc"
echo "demo: requests the simulated unit saw:"
sed 's/^/    /' "$work/devsim.log"
