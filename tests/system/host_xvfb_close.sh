#!/usr/bin/env bash
# Under Xvfb with the SDL backend: closing the window ends the show with status 0,
# and Escape does too.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
start_xvfb
make_data
cd "$WORK"
"$SHOW" --window --scale 1 --test-card --data "$DATA" >"$WORK/show.log" 2>&1 &
pid=$!
SHOW_PID=$pid
win=$(find_window "$pid") || fail "no window"
sleep 0.3
close_window "$win"
wait_exit "$pid" 20
status=$?
[ "$status" -eq 0 ] || { cat "$WORK/show.log"; fail "closing the window gave status $status"; }

"$SHOW" --window --scale 1 --test-card --data "$DATA" >"$WORK/show.log" 2>&1 &
pid=$!
SHOW_PID=$pid
win=$(find_window "$pid") || fail "no window"
xdotool windowfocus "$win"
sleep 0.3
xdotool key Escape
wait_exit "$pid" 20
status=$?
[ "$status" -eq 0 ] || fail "Escape gave status $status"
[ ! -e debug.txt ] || fail "Escape must not be logged"
echo "ok"
