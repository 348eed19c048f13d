#!/usr/bin/env bash
# Opens the remote view page in headless Chromium and checks the screenshots: the time in the
# display's colours, a page that follows the clock, and the time as large as the window allows
# (ink at least 80 % of the side that limits it, never touching an edge) on a wide screen, a
# letterbox strip and a portrait phone, for a time and for "超過".
#   usage: remote_browser.sh PROGRAM [SCREENSHOT FOLDER]
# PROGRAM prints "remote view: URL" on standard output. By default it is the test fixture, which
# takes --text/--background/--foreground; for another program set REMOTE_ARGS (for instance
# "--remote=0") and the script only looks at what that program shows.
set -euo pipefail
program=$(realpath "$1")
out=${2:-$(mktemp -d)}
mkdir -p "$out"

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ] || ! command -v convert >/dev/null || ! command -v compare >/dev/null; then
    echo "SKIP: needs chromium and ImageMagick"
    exit 77
fi

fail=0
pid=
stop_program() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=
    fi
}
trap stop_program EXIT

# Starts the program with the given arguments and sets $url and $control to its view and control
# addresses. The log may be read while the program is still writing it: only whole lines count,
# and both are waited for.
start_program() {
    stop_program
    "$program" "$@" >"$out/program.log" 2>&1 &
    pid=$!
    url=
    control=
    local lines
    for _ in $(seq 300); do
        lines=$(head -n "$(wc -l <"$out/program.log")" "$out/program.log")
        url=$(sed -n 's/^remote view: //p' <<<"$lines")
        control=$(sed -n 's/^remote control: //p' <<<"$lines")
        [ -n "$url" ] && [ -n "$control" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$url" ] || [ -z "$control" ]; then
        echo "FAIL: the program printed no view or no control address"
        cat "$out/program.log"
        exit 1
    fi
    case "$url" in
    http://127.0.0.1:* | http://\[::1\]:*) ;;
    *)
        echo "FAIL: $url is not on the loopback; nothing is sent there"
        exit 1
        ;;
    esac
}

# shot NAME WIDTH HEIGHT [URL]
shot() {
    local profile
    profile=$(mktemp -d)
    rm -f "$out/$1.png"
    timeout 90 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --window-size="$2,$3" --screenshot="$out/$1.png" \
        --virtual-time-budget=3000 "${4:-$url}" >"$out/$1.chromium.log" 2>&1 || true
    rm -rf "$profile"
    if [ ! -s "$out/$1.png" ]; then
        echo "FAIL: $1: no screenshot"
        tail -5 "$out/$1.chromium.log"
        fail=1
        return 1
    fi
}

# shot_showing NAME WIDTH HEIGHT [URL]: the same, once the page shows the display. Until its first
# message the page shows its "接続中…" band (rgba(32,32,32,.88) over the black page: #1c1c1c in
# the corner), and on a busy machine the picture can be taken before the message has come: it is
# taken again then, up to ten times; what is checked on it stays the same.
shot_showing() {
    local try
    for try in $(seq 10); do
        shot "$@" || return 1
        [ "$(corner "$out/$1.png")" = 1c1c1c ] || return 0
        echo "note: $1: the page had no message yet (try $try), taking it again"
    done
}

check() {
    if [ "$2" = yes ]; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}

# The share of the picture in exactly this colour, and the colour at a corner.
share_of() { convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:mean]' info:; }
corner() { convert "$1" -alpha off -format '%[hex:p{2,2}]' info: | tr 'A-F' 'a-f' | cut -c1-6; }

# colours NAME BACKGROUND FOREGROUND
colours() {
    local png=$out/$1.png
    check "$1: background #$(corner "$png") is $2" "$([ "#$(corner "$png")" = "$2" ] && echo yes || echo no)"
    local share
    share=$(share_of "$png" "$3")
    check "$1: $share of the picture in the text colour $3" \
        "$(awk -v s="$share" 'BEGIN { print (s > 0.01 ? "yes" : "no") }')"
}

# fit NAME BACKGROUND FOREGROUND: the ink of the text measured on the picture.
# fit NAME BACKGROUND FOREGROUND [FROM TO [LEAST]]: the same within the band of the picture from
# FROM to TO (shares of its height), the ink at least LEAST (0.8) of that band's binding side.
fit() {
    local png=$out/$1.png box w h x y W H from=${4:-0} to=${5:-1} least=${6:-0.8} band
    read -r W H < <(identify -format '%w %h\n' "$png")
    band=$(awk -v H="$H" -v f="$from" -v t="$to" 'BEGIN { printf "%d %d", int(H * f), int(H * t) - int(H * f) }')
    read -r top H <<<"$band"
    # Everything not in the text colour becomes background, then the text's box is what -trim keeps.
    box=$(convert "$png" -alpha off -crop "${W}x${H}+0+${top}" +repage -fuzz 30% -fill "$2" +opaque "$3" \
        -format '%@' info:)
    IFS='x+' read -r w h x y <<<"$box"
    local verdict
    verdict=$(awk -v w="$w" -v h="$h" -v x="$x" -v y="$y" -v W="$W" -v H="$H" -v least="$least" 'BEGIN {
        share = (w / W > h / H) ? w / W : h / H
        clear = (x >= 1 && y >= 1 && x + w <= W - 1 && y + h <= H - 1)
        printf "%s %.0f%%", (share >= least && clear) ? "yes" : "no", 100 * share }')
    check "$1: ink ${w}x${h}+${x}+${y} of ${W}x${H}+0+${top}, ${verdict#* } of the binding side, clear of the edges" \
        "${verdict%% *}"
}

if [ -n "${REMOTE_ARGS:-}" ]; then
    # The program itself: its control address restarts its countdown (green on black), and the
    # page shows it in those colours and follows its clock.
    # shellcheck disable=SC2086
    start_program $REMOTE_ARGS
    hostport=${control#http://}
    hostport=${hostport%%/*}
    exec 3<>"/dev/tcp/${hostport%:*}/${hostport##*:}"
    printf 'POST /control/restart?t=%s HTTP/1.1\r\nHost: %s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n' \
        "${control##*t=}" "$hostport" >&3
    status=$(head -n 1 <&3 | tr -d '\r')
    exec 3<&-
    check "restart through the control address: $status" "$([ "$status" = 'HTTP/1.1 204 No Content' ] && echo yes || echo no)"
    shot_showing first 1600 900 && colours first '#000000' '#00ff00'
    sleep 1.5
    shot_showing second 1600 900 &&
        check "the page follows the clock" "$(compare -metric AE "$out/first.png" "$out/second.png" null: 2>&1 | awk '{ print ($1 > 0 ? "yes" : "no") }')"
    exit $fail
fi

start_program --text 546:07 --background '#000000' --foreground '#00ff00'
shot_showing first 1600 900 && colours first '#000000' '#00ff00'
sleep 1.5
shot_showing second 1600 900 &&
    check "the page follows the clock (two screenshots differ)" \
        "$(compare -metric AE "$out/first.png" "$out/second.png" null: 2>&1 | awk '{ print ($1 > 0 ? "yes" : "no") }')"
for size in 1600x900 1800x300 390x844; do
    shot_showing "time-$size" "${size%x*}" "${size#*x}" && fit "time-$size" '#000000' '#00ff00'
done
shot_showing control-390x844 390 844 "$control" && colours control-390x844 '#000000' '#00ff00'

start_program --text 超過 --background '#ff0000' --foreground '#ffffff'
for size in 1600x900 1800x300 390x844; do
    shot_showing "over-$size" "${size%x*}" "${size#*x}" && colours "over-$size" '#ff0000' '#ffffff' &&
        fit "over-$size" '#ff0000' '#ffffff'
done

# A message to the speaker under the time, on a portrait phone and a wide screen: the time keeps the
# upper 70 % and fills it, the message fills the band below, never cut.
start_program --text 4:59 --message 'まとめに入ってください、質疑応答は十分間です'
for size in 390x844 1600x900; do
    shot_showing "message-$size" "${size%x*}" "${size#*x}" &&
        fit "message-$size" '#000000' '#00ff00' 0 0.7 &&
        fit "message-$size" '#000000' '#00ff00' 0.7 1 0.6
done

# When the page cannot reach the server it says so, in Japanese and a line of English, and keeps
# trying: here every WebSocket is refused, as when the hall has more viewers than the server takes.
start_program --text 12:34 --max-clients 0
shot lost 1600 900 && check "lost: a notice band over the page (corner #$(corner "$out/lost.png"))" \
    "$([ "#$(corner "$out/lost.png")" != '#000000' ] && echo yes || echo no)"
profile=$(mktemp -d)
timeout 90 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" \
    --dump-dom --virtual-time-budget=3000 "$url" >"$out/lost.html" 2>"$out/lost.chromium.log" || true
rm -rf "$profile"
check "lost: the page says 閲覧中の端末が多すぎます — 再接続中… and Too many viewers" \
    "$(grep -q '閲覧中の端末が多すぎます — 再接続中…' "$out/lost.html" && grep -q 'Too many viewers' "$out/lost.html" && echo yes || echo no)"

echo "screenshots in $out"
exit $fail
