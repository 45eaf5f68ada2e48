#!/usr/bin/env bash
# Screenshots of korvath-update for the README. Runs the built tool on a private X server
# (Xvfb) against simulated units (ventaro-devsim) shaped for each picture, and writes 8-bit
# palette PNGs into docs/screenshots/ (or the folder given).
#
#   scripts/screenshots.sh [output folder]
#
# It builds and installs nothing: it expects the build tree (SCREENSHOT_BUILD_DIR, default
# build) to hold src/korvath-update, src/ventaro-cli and tools/devsim/ventaro-devsim, and needs Xvfb, xdotool,
# ImageMagick's import and convert, and Chromium (the station's page). It says which package is missing. A running
# korvath-update is not disturbed: every start here uses an instance key of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SCREENSHOT_BUILD_DIR:-build}
out=${1:-docs/screenshots}
tool=$root/$build/src/korvath-update
cli=$root/$build/src/ventaro-cli
sim=$root/$build/tools/devsim/ventaro-devsim
# ImageMagick by full path: another convert may come first on PATH.
import=/usr/bin/import
convert=/usr/bin/convert

missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xdotool >/dev/null || missing+=(xdotool)
command -v chromium >/dev/null || missing+=(chromium)
[ -x "$import" ] && [ -x "$convert" ] || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
    echo "screenshots: missing packages: ${missing[*]} (apt-get install ${missing[*]})" >&2
    exit 1
fi
for program in "$tool" "$cli" "$sim"; do
    if [ ! -x "$program" ]; then
        echo "screenshots: $program not found; build first:" >&2
        echo "  cmake --build $build --target korvath-update ventaro-cli ventaro-devsim" >&2
        exit 1
    fi
done
mkdir -p "$out"

work=$(mktemp -d)
running=() # devsim and tool processes of the current picture
xvfb_pid=""
# Alive and not yet a zombie.
alive() {
    [ -r "/proc/$1/stat" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" != Z ]
}
# Units first: a tool in the middle of an upload then gives up at once and can quit.
stop_running() {
    local pid
    for pid in "${running[@]}"; do
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 100); do
            alive "$pid" || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    running=()
}
cleanup() {
    stop_running
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "screenshots: $*" >&2
    local log
    for log in "$work"/*/*.log; do
        [ -e "$log" ] || continue
        echo "--- last lines of ${log#"$work"/}" >&2
        tail -n 15 "$log" >&2
    done
    exit 1
}

# Polls until FILE has at least COUNT lines matching PATTERN (fixed string); SECONDS at most.
wait_for() {
    local file=$1 pattern=$2 count=$3 seconds=$4 i n
    for ((i = 0; i < seconds * 20; ++i)); do
        n=$(grep -cF -- "$pattern" "$file" 2>/dev/null) || n=0
        [ "$n" -ge "$count" ] && return 0
        sleep 0.05
    done
    fail "waited ${seconds} s for '$pattern' in ${file#"$work"/}"
}

# A private X server on a free display, large enough for the debug console.
Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
instance="ventaro-screenshots-$$-$(date +%s%N)"

shot="" # name of the current picture; its files live in $work/$shot
window=""

# unit NAME [ventaro-devsim options]: starts a simulated unit in the picture's port folder.
unit() {
    local name=$1
    shift
    "$sim" --port-dir "$work/$shot/ports" --name "$name" "$@" 2>"$work/$shot/$name.log" &
    running+=($!)
    wait_for "$work/$shot/$name.log" "announced" 1 10
}

# begin NAME: a fresh folder (and port folder) for the next picture.
begin() {
    shot=$1
    mkdir -p "$work/$shot/ports"
}

# run [korvath-update options]: starts the tool and waits until its dialog is on the screen.
run() {
    (cd "$work/$shot" && VENTARO_PORT_DIR="$work/$shot/ports" \
        VENTARO_INSTANCE_KEY="$instance-$shot" exec "$tool" "$@" >tool.out 2>tool.log) &
    running+=($!)
    wait_for "$work/$shot/tool.log" "CMainDialogNew: shown" 1 20
    window=$(timeout 20 xdotool search --sync --onlyvisible --classname '^korvath-update$' |
        head -n 1) || true
    [ -n "$window" ] || fail "$shot: no korvath-update window"
    sleep 1 # the status line and the layout settle after the first show
}

# press_update: clicks the update button (bottom row, left half of the dialog).
press_update() {
    local WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    xdotool mousemove --window "$window" $((WIDTH / 4)) $((HEIGHT - 30)) click 1
}

# capture FILE: the dialog window as an 8-bit palette PNG.
capture() {
    "$import" -window "$window" "$work/$shot/raw.png"
    "$convert" "$work/$shot/raw.png" -strip -dither None -colors 256 "PNG8:$out/$1"
    echo "screenshots: $out/$1"
}

# The unit runs its bootloader (copy 1) unless said otherwise; the built-in images are 2.24.
older=(--partner 1 --boot-version 2.20 --appl-version 2.20)

begin no-unit
run
capture no-unit.png
stop_running

begin ready
unit unit --model 100 --serial 50123 "${older[@]}"
run
capture ready-to-update.png
stop_running

# Application versions equal to the image count as outdated: only a newer one is up to date.
begin uptodate
unit unit --model 100 --serial 50123 --partner 1 --boot-version 2.24 --appl-version 2.25
run
capture up-to-date.png
stop_running

# A plus unit without a stored serial number (a 100-series one would not be updatable).
begin serial
unit unit --model plus --serial 0 "${older[@]}"
run
capture serial-number-needed.png
stop_running

# Mid-upload: a plus unit (no WiFi module) that answers slowly, caught once 80 blocks have
# been sent (about half of the progress bar).
begin updating
unit unit --model plus --serial 50123 "${older[@]}" --reply-latency 15
run
press_update
wait_for "$work/$shot/unit.log" "request code 8 " 80 60
capture updating.png
stop_running

begin updated
unit unit --model plus --serial 50123 "${older[@]}"
run
press_update
wait_for "$work/$shot/unit.log" "bootloaders swapped" 1 120
sleep 1.5
capture updated.png
stop_running

begin console
unit unit --model 100 --serial 50123 "${older[@]}"
run -d
capture debug-console.png
stop_running

begin german
unit unit --model 100 --serial 50123 "${older[@]}"
run -l de_DE
capture german.png
stop_running

begin console-de
unit unit --model 100 --serial 50123 "${older[@]}"
run -d -l de_DE
capture debug-console-german.png
stop_running

# The console's secondary-log chart, drawn by ventaro-cli from 40 days of a simulated unit.
begin chart
unit unit --model 100 --serial 50123 --sec-log 1:62:40:0
VENTARO_PORT_DIR="$work/$shot/ports" VENTARO_INSTANCE_KEY="$instance-$shot" \
    "$cli" seclog --span 1 --plot "$work/$shot/raw.png" 2>"$work/$shot/cli.log" ||
    fail "chart: ventaro-cli seclog --plot failed"
"$convert" "$work/$shot/raw.png" -strip -dither None -colors 256 "PNG8:$out/seclog-chart.png"
echo "screenshots: $out/seclog-chart.png"
stop_running

# The station's page: two units done (one updated, one whose unit did not confirm its new
# application), two more at work, in a headless Chromium the size of a line's screen.
begin page
plus=(--model plus --partner 1 --boot-version 2.20 --appl-version 2.20)
unit u1 "${plus[@]}" --serial 60101
unit u2 "${plus[@]}" --serial 60102 --crc-ko 3
(cd "$work/$shot" && VENTARO_PORT_DIR="$work/$shot/ports" VENTARO_INSTANCE_KEY="$instance-$shot" \
    exec "$cli" station --json --http 0 --station "line 3" >station.out 2>station.log) &
running+=($!)
wait_for "$work/$shot/station.log" "the page is at" 1 20
wait_for "$work/$shot/station.out" '"event":"done"' 2 120
unit u3 "${plus[@]}" --serial 60103
unit u4 --model 100 --serial 50124 "${older[@]}"
wait_for "$work/$shot/station.out" '"step":"bootloader"' 1 60
url=$(grep -o 'http://[^ ]*/' "$work/$shot/station.log" | head -n 1)
timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/$shot/profile" --hide-scrollbars --window-size=1280,840 \
    --virtual-time-budget=1500 --screenshot="$work/$shot/raw.png" "$url" \
    >"$work/$shot/chromium.log" 2>&1 || fail "page: chromium --screenshot failed"
"$convert" "$work/$shot/raw.png" -strip -dither None -colors 256 "PNG8:$out/station-page.png"
echo "screenshots: $out/station-page.png"
stop_running
