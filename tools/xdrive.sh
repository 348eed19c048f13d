# Driving the real program in an X display with xdotool, for the real-window test and the README's
# screenshots. Source it after setting `exe` (the program) and `out` (a folder for screenshots and
# the program's log); it re-runs the sourcing script inside Xvfb when XDRIVE_INNER is unset.

for tool in xvfb-run xdotool import convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
if [ -z "${XDRIVE_INNER:-}" ]; then
    XDRIVE_INNER=1 exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi

# Where the main window's controls are, from its top-left corner (pixels).
set_time=(229 412)   # 表示セット
minutes=(44 412)     # the total's minutes box
seconds=(116 412)    # the total's seconds box
bell1_minutes=(44 564)
bell1_seconds=(116 564)
bell1_on=(240 556)   # 予鈴ON of bell 1
mask=(48 676)        # 画面マスク
slave=(128 676)      # Slave
start=(688 676)      # Start

# Prints the first window whose name matches the pattern, once there is one; nothing if none comes
# within 30 s (a busy machine can take that long to map a window).
wait_window() {
    local id=""
    for _ in $(seq 300); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

# Starts the program with the given arguments and waits for its main window; sets X and Y to the
# window's corner. The program is driven in a real X window, whatever platform the caller's
# environment asks for (a developer running every test offscreen, say).
start_program() {
    # On a loaded machine the display may not take connections yet when this starts, and a display
    # that answered once may be one going away as another test's ends: a program started then ends
    # at once ("could not connect to display"), and is started again, three times at most.
    local attempt
    for attempt in 1 2 3; do
        for _ in $(seq 300); do
            xdotool getdisplaygeometry >/dev/null 2>&1 && break
            sleep 0.1
        done
        QT_QPA_PLATFORM=xcb "$exe" "$@" >"$out/program.log" 2>&1 &
        program=$!
        trap 'kill $program 2>/dev/null || true' EXIT
        window=""
        for _ in $(seq 300); do
            window=$(xdotool search --name 'ポディウムウォッチ' 2>/dev/null | head -n 1 || true)
            [ -n "$window" ] && break
            kill -0 "$program" 2>/dev/null || break
            sleep 0.1
        done
        [ -n "$window" ] && break
        echo "the program ended before its window appeared (attempt $attempt):" >&2
        tail -n 3 "$out/program.log" >&2
        kill "$program" 2>/dev/null || true
        sleep 1
    done
    [ -n "$window" ] || { echo "FAIL: the main window never appeared"; exit 1; }
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }
key() { xdotool key "$@"; sleep 0.3; }
# Replaces the text of the box at the given point: type_into x y text
type_into() { click "$1" "$2"; xdotool key ctrl+a; xdotool type --delay 50 -- "$3"; sleep 0.3; }
shot() { import -window root "$out/$1.png"; }
# Whether the big display reads the same on two screenshots.
same_display() {
    [ "$(convert "$out/$1.png" -crop "940x300+$((X + 8))+$((Y + 8))" +repage -format '%#' info:)" = \
      "$(convert "$out/$2.png" -crop "940x300+$((X + 8))+$((Y + 8))" +repage -format '%#' info:)" ]
}
# The colour of one pixel of the big display, away from the digits.
display_colour() { convert "$out/$1.png" -format "%[pixel:p{$((X + 20)),$((Y + 20))}]" info:; }
