#!/usr/bin/env bash
# CPU used by a running countdown with the projector window shown: the program is started in a
# virtual X display (Xvfb), set to 5:00, the second window opened and the countdown started; then
# user+sys time is read over SECONDS_MEASURED (60) seconds of wall time.
#   usage: bench/cpu_countdown.sh build/dev/podiumwatch
set -euo pipefail
exe=$(realpath "$1")
out=$(mktemp -d)
measured=${SECONDS_MEASURED:-60}
# shellcheck source=../tools/xdrive.sh
source "$(dirname "$0")/../tools/xdrive.sh"

start_program
click "${set_time[@]}"
click "${slave[@]}"
click "${start[@]}"
sleep 2

ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$measured"
after=$(ticks)
[ -n "${SCREENSHOT:-}" ] && import -window root "$SCREENSHOT"
awk -v t=$((after - before)) -v hz="$hz" -v s="$measured" \
    'BEGIN { printf "CPU while counting down with the second window shown: %.2f %% of one core (%d s)\n", 100 * t / hz / s, s }'
