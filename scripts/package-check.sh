#!/usr/bin/env bash
# Builds the Debian package from build/, installs it, and runs the installed tool offscreen with
# -ap against the installed simulated unit (a plus unit that needs no reboot): the automatic
# update must end with exit code 100.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
(cd build && cpack >/dev/null)
deb=$(ls -t build/korvath-update_*.deb | head -n 1)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y --no-install-recommends "./$deb" >/dev/null

work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/ports" "$work/flash"
/usr/bin/ventaro-devsim --port-dir "$work/ports" --model plus --flash-out "$work/flash" \
    >"$work/sim.log" 2>&1 &
sim=$!
cd "$work"
set +e
VENTARO_PORT_DIR="$work/ports" QT_QPA_PLATFORM=offscreen timeout 300 /usr/bin/korvath-update -ap \
    >"$work/tool.log" 2>&1
code=$?
set -e
echo "installed korvath-update -ap exit code: $code"
if [ "$code" -ne 100 ]; then
    tail -n 40 "$work/tool.log"
    exit 1
fi
