#!/usr/bin/env bash
# A chair's afternoon in the real program, in a real X window (Xvfb) with real keys: a programme
# read from an Excel CSV in Shift_JIS, a talk run into over-time with a message to the speaker, the
# next talk started and left for the one after while paused, the programme saved (as JSON beside the
# CSV, which is never written over), an edit left unsaved and the window closed with キャンセル
# answered; then the record's lines are checked. Screenshots are kept in the given folder.
#   usage: chairwalk.sh <podiumwatch executable> [screenshot folder]
set -euo pipefail
exe=$(realpath "$1")
out=${2:-$(mktemp -d)}
mkdir -p "$out"
command -v iconv >/dev/null || { echo "SKIP: iconv is not installed"; exit 77; }

# shellcheck source=../tools/xdrive.sh
source "$(dirname "$0")/../tools/xdrive.sh"

fail=0
ok() { echo "ok: $1"; }
bad() { echo "FAIL: $1"; fail=1; }

session=$(mktemp -d)
trap 'rm -rf "$session"' EXIT
# Talks of a few seconds, so that the afternoon takes a minute.
printf '%s\r\n' 'セッション,午後の部,開始,13:00' '演題,発表者,所属,時間' '開会の挨拶,髙橋 一郎,㈱ポディウム,0:03' \
    '基調講演,佐藤 花子,東京大学,0:05' '閉会,鈴木 次郎,,0:04' | iconv -f UTF-8 -t CP932 >"$session/afternoon.csv"

start_program --programme "$session/afternoon.csv"
sleep 1
shot programme-opened

# Talk 1 runs into over-time; the chair sends a message from the programme window (F3).
key F1
sleep 4.6
key F3
programme=$(wait_window 'プログラム')
[ -n "$programme" ] || { bad "the programme window never appeared"; exit 1; }
xdotool windowfocus --sync "$programme"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$programme" | sed 's/^/P_/')"
# The message line, under the table and its buttons; Enter shows what was typed.
xdotool mousemove $((P_X + 280)) $((P_Y + 405)) click 1
sleep 0.3
xdotool type --delay 50 -- "Please wrap up"
key Return
shot programme-window
xdotool windowfocus --sync "$window"
click "${slave[@]}"
projector=$(wait_window 'Podium Watch \(QOR\)')
[ -n "$projector" ] || { bad "the projector window never appeared"; exit 1; }
sleep 0.8
shot projector-message
xdotool windowfocus --sync "$window"
key F9
sleep 0.3
# PageDown: talk 2, started and paused, then left for talk 3 while paused.
key Next
sleep 0.3
shot between-talks
key F1
sleep 2.2
# Refused while the clock runs, and said in the main window's line.
key Next
sleep 0.3
shot refused-while-running
key F7
key Next
sleep 0.5
shot talk-3

# Saved from the programme window: the CSV's name is offered as JSON; Return takes it.
xdotool windowfocus --sync "$programme"
key ctrl+s
sleep 1.5
key Return
sleep 1
if [ -f "$session/afternoon.json" ]; then ok "saved beside the CSV as afternoon.json"; else bad "no afternoon.json after saving"; fi
if iconv -f CP932 -t UTF-8 "$session/afternoon.csv" >/dev/null 2>&1; then ok "the CSV is left as Excel wrote it"
else bad "the CSV was written over"; fi

# An edit left unsaved: F2 on the first talk's title, a new title, Enter. Closing the main window
# asks; キャンセル (Esc) keeps the program running.
xdotool windowraise "$programme"
xdotool windowfocus --sync "$programme"
eval "$(xdotool getwindowgeometry --shell "$programme" | sed 's/^/P_/')"
xdotool mousemove $((P_X + 200)) $((P_Y + 105)) click 1
sleep 0.3
key F2
xdotool type --delay 50 -- "Opening"
key Return
shot edited
# QORを終了 asks as closing the window does; Esc answers キャンセル.
xdotool windowraise "$window"
click 919 675
sleep 1
shot asked
asked=$(xdotool search --name '^ポディウォッチ$' | head -n 1 || true)
[ -n "$asked" ] && ok "ending with an unsaved edit asks first" || bad "QORを終了 did not ask about the unsaved edit"
key Escape
sleep 1
if kill -0 "$program" 2>/dev/null; then ok "キャンセル keeps the program running"; else bad "the program ended although the chair went back"; fi
if [ "$(head -c 3 "$session/afternoon.json")" = "{" ] && grep -q 'Opening' "$session/afternoon.json"; then
    bad "the unsaved edit was written"
else ok "the unsaved edit is not in the saved file"; fi

record="$session/afternoon.record.csv"
if [ -f "$record" ]; then
    lines=$(tail -n +2 "$record" | tr -d '\r')
    echo "$lines"
    echo "$lines" | grep -q '^1,開会の挨拶,髙橋 一郎,㈱ポディウム,0:00:03,.*,リセット,0$' && ok "talk 1 recorded, reset" || bad "talk 1's line"
    echo "$lines" | grep -q '^2,基調講演,佐藤 花子,東京大学,0:00:05,.*,1,.*,次の発表,0$' && ok "talk 2 recorded, left while paused" || bad "talk 2's line"
    [ "$(head -c 3 "$record" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] && ok "the record starts with a BOM" || bad "no BOM"
else
    bad "no record at $record"
fi
kill "$program" 2>/dev/null || true
grep -v -E 'XDG_RUNTIME_DIR|PulseAudio|pa_context' "$out/program.log" || true
exit $fail
