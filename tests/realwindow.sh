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

# Applies a talk of 0:0<digit> and starts it, from the minutes box so that no button has the focus.
start_talk() {
    click "${minutes[@]}"
    key ctrl+a 0
    click "${seconds[@]}"
    key ctrl+a 0 "$1"
    click "${set_time[@]}"
    click "${minutes[@]}"
    key F1
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
start_talk 3
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
start_talk 4
sleep 2.8
shot bell
expect bell "srgb(255,255,0)"

# A Space typed while the minutes box has the focus restarts and leaves the box alone: the Reset
# after it takes the box without the format message.
key F9
click "${minutes[@]}"
key ctrl+a 5
key space
sleep 1.2
shot space-in-box
key F9
sleep 0.5
if xdotool search --name '^ポディウォッチ$' >/dev/null 2>&1; then
    echo "FAIL: Reset refused the minutes box after a Space"; fail=1; xdotool key Return
else echo "ok: a Space in the minutes box only restarts"; fi

# Over-time goes on upwards after a pause: resumed at 0:02 of over-time, the display stays in the
# alert colours; counted down again, it would reach bell 1 at 0:01 a second later and turn yellow.
click "${bell1_minutes[@]}"
key ctrl+a 0
click "${bell1_seconds[@]}"
key ctrl+a 1
start_talk 3
sleep 4.9
key F7
shot overtime-paused
sleep 1
key F1
counted_on=yes
for i in 1 2 3 4 5 6; do
    sleep 0.4
    shot "overtime-resumed-$i"
    [ "$(display_colour "overtime-resumed-$i")" = "srgb(255,0,0)" ] || counted_on=""
done
if [ -n "$counted_on" ]; then echo "ok: over-time counted on upwards after the pause"
else echo "FAIL: after resuming in over-time the display left the alert colours"; fail=1; fi

# The run keys from the projector window: F1 starts, F7 pauses, with the projector focused.
click "${minutes[@]}"
key ctrl+a 5
key F9
click "${slave[@]}"
projector=$(wait_window 'Podium Watch \(QOR\)')
[ -n "$projector" ] || { echo "FAIL: the projector window never appeared"; exit 1; }
xdotool windowfocus --sync "$projector"
key F1
sleep 1.2
shot projector-run-1
sleep 1.2
shot projector-run-2
key F7
shot projector-paused-1
sleep 1.5
shot projector-paused-2
if same_display projector-run-1 projector-run-2; then echo "FAIL: F1 from the projector did not start"; fail=1
else echo "ok: F1 from the projector starts"; fi
if same_display projector-paused-1 projector-paused-2; then echo "ok: F7 from the projector pauses"
else echo "FAIL: F7 from the projector did not pause"; fail=1; fi

grep -v -E 'XDG_RUNTIME_DIR|PulseAudio|pa_context' "$out/program.log" || true
echo "screenshots in $out"
exit $fail
