#!/usr/bin/env bash
# Drives the real program in a real X window (Xvfb) with real key presses and mouse clicks, and
# checks the big display's colours on screenshots. Screenshots are kept in the given folder.
#   usage: realwindow.sh <podiumwatch executable> [screenshot folder]
set -euo pipefail
exe=$(realpath "$1")
out=${2:-$(mktemp -d)}
mkdir -p "$out"

# shellcheck source=../tools/xdrive.sh
source "$(dirname "$0")/../tools/xdrive.sh"
start_program
echo "window: $(xdotool getwindowname "$window") at $X,$Y"

fail=0
expect() {
    local got
    got=$(display_colour "$1")
    if [ "$got" = "$2" ]; then echo "ok: $1 display background $got"; else echo "FAIL: $1 display background $got, expected $2"; fail=1; fi
}

click "${set_time[@]}"
# Leave the apply button: a focused button would take the space bar as a press of its own. The
# space then lands in the minutes box ("5 "), which still reads as 5.
click "${minutes[@]}"
key End
shot setup
expect setup "srgb(0,0,0)"
key F1
sleep 1.3
key F7
shot paused
key F1
sleep 1.2
shot resumed
key F9
shot reset
key space
sleep 1.2
shot restarted
expect restarted "srgb(0,0,0)"

# F1 held down (the keyboard repeats it) while the clock runs: the count goes on.
key F1
xdotool keydown F1
sleep 0.6
shot held-1
sleep 1.5
shot held-2
xdotool keyup F1
if same_display held-1 held-2; then echo "FAIL: the display stood still while F1 was held"; fail=1; else echo "ok: counting on while F1 is held"; fi

# A three-second talk runs into over-time.
click "${minutes[@]}"
key ctrl+a 0
click "${seconds[@]}"
key ctrl+a 0 3
click "${set_time[@]}"
click "${minutes[@]}"
key F1
sleep 3.2
shot zero
sleep 1.6
shot overtime
expect overtime "srgb(255,0,0)"

# Bell 1 at 0:02 in a four-second talk: it rings and paints the display yellow with black digits.
key F9
click "${bell1_minutes[@]}"
key ctrl+a 0
click "${bell1_seconds[@]}"
key ctrl+a 2
click "${bell1_on[@]}"
click "${minutes[@]}"
key ctrl+a 0
click "${seconds[@]}"
key ctrl+a 0 4
click "${set_time[@]}"
click "${minutes[@]}"
key F1
sleep 2.8
shot bell
expect bell "srgb(255,255,0)"

grep -v -E 'XDG_RUNTIME_DIR|PulseAudio|pa_context' "$out/program.log" || true
echo "screenshots in $out"
exit $fail
