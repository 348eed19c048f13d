#!/usr/bin/env bash
# Drives the real program in a real X window (Xvfb) with real key presses and mouse clicks, and
# checks the big display's colours on screenshots. Screenshots are kept in the given folder.
#   usage: realwindow.sh <podiumwatch executable> [screenshot folder]
set -euo pipefail
exe=$(realpath "$1")
out=${2:-$(mktemp -d)}
mkdir -p "$out"

for tool in xvfb-run xdotool import convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

if [ -z "${REALWINDOW_INNER:-}" ]; then
    REALWINDOW_INNER=1 exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$exe" "$out"
fi

"$exe" >"$out/program.log" 2>&1 &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

window=""
for _ in $(seq 50); do
    window=$(xdotool search --name 'ポディウムウォッチ' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: the main window never appeared"; exit 1; }
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y of the window
title=$(xdotool getwindowname "$window")
echo "window: $title at $X,$Y"

fail=0
shot() { import -window root "$out/$1.png"; }
# The colour of one pixel of the big display, away from the digits.
display_colour() { convert "$out/$1.png" -format "%[pixel:p{$((X + 20)),$((Y + 20))}]" info:; }
expect() {
    local got
    got=$(display_colour "$1")
    if [ "$got" = "$2" ]; then echo "ok: $1 display background $got"; else echo "FAIL: $1 display background $got, expected $2"; fail=1; fi
}
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }
key() { xdotool key "$@"; sleep 0.3; }
set_time=(229 412)   # 表示セット
minutes=(44 412)     # the minutes box
seconds=(116 412)    # the seconds box
bell1_minutes=(44 564)
bell1_seconds=(116 564)
bell1_on=(240 556)   # 予鈴ON

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
