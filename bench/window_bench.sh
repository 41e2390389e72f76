#!/usr/bin/env bash
# The window's costs at 1920x1080 under a virtual X server (Xvfb, Mesa's software GL):
#   steady   the clock at 1x, the settings window open, the table unchanged from frame to frame
#   repaint  a slider dragged every frame: the game screen redrawn with Cairo and uploaded each frame
#   idle     the clock paused and no input: the process's share of a core
# CPU time is the whole process's (the GL driver's threads included), measured by the window
# itself between two steps of the driver. Needs the release build (scripts/bench.sh builds it).
#
#   bench/window_bench.sh [BUILD_DIR]      (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
host=$build/vantrel-host-driven   # vantrel-host with the step driver (tests/window/driver)
[ -x "$host" ] || { echo "window_bench: $host not built (cmake --preset release && cmake --build --preset release)" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "window_bench: Xvfb is not installed (package xvfb)" >&2; exit 2; }

work=$(mktemp -d /tmp/vantrel-window-bench-XXXXXX)
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export VANTREL_WINDOW_SIZE=1920x1080

run() {  # NAME SCRIPT HOOKS
    printf '%s' "$2" > "$work/$1.vsh"
    printf '%s' "$3" > "$work/$1.hooks"
    VANTREL_WINDOW_HOOKS="$work/$1.hooks" "$host" --window --workdir "$work/$1" "$work/$1.vsh" >/dev/null
    echo "== $1"
    cat "$work/$1.txt"
}

session=$'mmr 11 1000.5 rank 15 0\nmatch start 11\nmatch end win\nmmr 11 1012.25 rank 15 1 after 1\nwait 2\nopenmenu vantrel\n'

run steady "$session" "script
frames 120
cpu start
frames 600
cpu report $work/steady.txt
close
"

drag=""
for i in $(seq 150); do drag+=$'mouse widget ##vantrel_pos_x at 0.2\nframes 1\nmouse widget ##vantrel_pos_x at 0.3\nframes 1\n'; done
run repaint "$session" "script
frames 30
mouse widget ##vantrel_pos_x at 0.2
frames 2
press
frames 2
cpu start
$drag
cpu report $work/repaint.txt
release
frames 2
close
"

run idle "$session" "script
frames 30
mouse control Pause
frames 2
press
frames 2
release
frames 10
cpu start
sleep 10
cpu report $work/idle.txt
close
"
