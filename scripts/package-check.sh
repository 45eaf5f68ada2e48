#!/usr/bin/env bash
# Packages build/ into the Debian package and its -dbgsym package, has lintian check both (any
# error or warning fails), installs the package, checks that man and bash-completion find what
# it brings, and runs the installed tool offscreen with -ap against the installed simulated
# unit (a plus unit that needs no reboot): the automatic update must end with exit code 100.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# The tree and build type of scripts/test.sh, so after it this builds nothing new; see
# packaging/CMakeLists.txt for why that package is the release one.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
rm -f build/korvath-update_*.deb build/korvath-update-dbgsym_*.ddeb
(cd build && cpack >/dev/null)
deb=$(ls build/korvath-update_*.deb)
ddeb=$(ls build/korvath-update-dbgsym_*.ddeb)
ls -l "$deb" "$ddeb"

# Errors and warnings fail; the informational tags are not shown.
if ! lintian --fail-on error,warning "$deb" "$ddeb"; then
    echo "lintian rejects the package" >&2
    exit 1
fi
echo "lintian: no error, no warning"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y --no-install-recommends "./$deb" >/dev/null

page=$(man -w ventaro-cli)
[ "$page" = /usr/share/man/man1/ventaro-cli.1.gz ] || { echo "man finds '$page'" >&2; exit 1; }
# bash-completion's own loader finds the installed completion by the command's name.
if ! bash -c 'source /usr/share/bash-completion/bash_completion &&
               __load_completion ventaro-cli && complete -p ventaro-cli'; then
    echo "bash-completion does not find ventaro-cli" >&2
    exit 1
fi

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
