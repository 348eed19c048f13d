#!/usr/bin/env bash
# Makes the README's pictures with the program itself in a virtual X display (Xvfb, 1920x1080):
# set up, running, a bell's colours, over-time with "超過", masked, the second display full
# screen, the programme window with the example programme, and the second display with a message to
# the speaker.
#   usage: tools/screenshots.sh [build/dev/podiumwatch] [docs/screenshots]
set -euo pipefail
exe=$(realpath "${1:-build/dev/podiumwatch}")
out=$(realpath -m "${2:-docs/screenshots}")
mkdir -p "$out"
# shellcheck source=xdrive.sh
source "$(dirname "$0")/xdrive.sh"

window_shot() { shot "$1" && convert "$out/$1.png" -crop "967x701+$X+$Y" +repage "$out/$1.png"; }
# Shots every quarter second until the display shows the given colour, the first match kept.
shot_when() {
    for _ in $(seq 16); do
        shot "$1"
        [ "$(display_colour "$1")" = "$2" ] && { convert "$out/$1.png" -crop "967x701+$X+$Y" +repage "$out/$1.png"; return; }
        sleep 0.25
    done
    echo "the display never showed $2 for $1" >&2
    exit 1
}

# A sound server of its own (a null sink), so the pictures show the window as it is with sound; without
# one, the bottom strip would carry the "no sound" sign in every picture.
if command -v pulseaudio >/dev/null; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    pulseaudio -D -n --exit-idle-time=-1 --system=false --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=nullsink"
fi

start_program
trap 'kill $program 2>/dev/null || true; pulseaudio --kill 2>/dev/null || true' EXIT
click "${set_time[@]}"
click "${minutes[@]}"
window_shot setup

key F1
sleep 2.2
window_shot running

# Bell 1 at 0:02 in a four-second talk: yellow with black digits.
key F9
type_into "${bell1_minutes[@]}" 0
type_into "${bell1_seconds[@]}" 2
click "${bell1_on[@]}"
type_into "${minutes[@]}" 0
type_into "${seconds[@]}" 04
click "${set_time[@]}"
click "${minutes[@]}"
key F1
shot_when bell "srgb(255,255,0)"

# A total of -2:91 (29 seconds over at the start), so the half-minute "超過" comes a second later.
key F9
type_into "${minutes[@]}" -2
type_into "${seconds[@]}" 91
click "${set_time[@]}"
click "${minutes[@]}"
key F1
shot_when overtime "srgb(255,255,0)"

# The same talk masked: only the time and the bottom strip remain.
click "${mask[@]}"
sleep 1.2
window_shot masked
click "${mask[@]}"

# The second display, full screen (a double-click), in over-time.
click "${slave[@]}"
sleep 0.5
xdotool mousemove 200 200 click --repeat 2 --delay 60 1
sleep 1.5
# Not in the quarter second of a blink: of a few shots, keep the brightest (white digits).
best=-1
for n in 1 2 3 4 5 6; do
    shot "candidate$n"
    brightness=$(convert "$out/candidate$n.png" -colorspace Gray -format "%[fx:int(1000*mean)]" info:)
    if [ "$brightness" -gt "$best" ]; then best=$brightness; mv "$out/candidate$n.png" "$out/slave-fullscreen.png"; fi
    rm -f "$out/candidate$n.png"
    sleep 0.3
done
convert "$out/slave-fullscreen.png" -resize 50% "$out/slave-fullscreen.png"

# The example programme opened from the command line, its second talk prepared (PageDown), and the
# programme window (F3). The programme is copied to a folder of its own (its record's path shows), and
# the clock is put in the afternoon of the session, whatever the hour the pictures are made at.
kill "$program"
wait "$program" 2>/dev/null || true
session=/tmp/学会
mkdir -p "$session"
cp "$(dirname "$0")/../docs/example-programme.json" "$session/セッションA3.json"
offset=$((13 - 10#$(date -u +%H)))
[ "$offset" -gt 14 ] && offset=$((offset - 24))
[ "$offset" -lt -12 ] && offset=$((offset + 24))
# A POSIX zone's offset has the opposite sign: "PMT-3" is three hours east of UTC.
TZ="PMT$([ "$offset" -ge 0 ] && echo - || echo +)${offset#-}" start_program "$session/セッションA3.json"
sleep 1
key Next
key F3
programme=$(wait_window 'プログラム -')
[ -n "$programme" ] || { echo "the programme window never appeared" >&2; exit 1; }
sleep 1
import -window "$programme" "$out/programme.png"
# The main window says which talk it holds, in a line of its own; between talks the second display
# names the talk about to start under its time.
xdotool windowraise "$window"
xdotool windowfocus --sync "$window"
sleep 0.5
window_shot programme-main
click "${slave[@]}"
sleep 0.5
xdotool mousemove 200 200 click --repeat 2 --delay 60 1
sleep 1.5
shot slave-between
convert "$out/slave-between.png" -resize 50% "$out/slave-between.png"

# A message to the speaker on the second display, full screen, sent as a chair's phone sends it:
# through the remote control address.
kill "$program"
wait "$program" 2>/dev/null || true
start_program --remote=0 --remote-bind=127.0.0.1
for _ in $(seq 100); do
    control=$(sed -n 's/^remote control: //p' "$out/program.log")
    [ -n "$control" ] && break
    sleep 0.1
done
hostport=${control#http://}
hostport=${hostport%%/*}
post() {
    exec 3<>"/dev/tcp/${hostport%:*}/${hostport##*:}"
    printf 'POST %s HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s' \
        "/control/$1?t=${control##*t=}" "$hostport" "$(printf %s "$2" | wc -c)" "$2" >&3
    head -n 1 <&3 >/dev/null
    exec 3<&-
}
click "${slave[@]}"
sleep 0.5
xdotool mousemove 200 200 click --repeat 2 --delay 60 1
post restart ""
post message "まとめに入ってください"
sleep 3 # past its three blinks
shot slave-message
convert "$out/slave-message.png" -resize 50% "$out/slave-message.png"
rm -f "$out/program.log"
echo "pictures in $out"
