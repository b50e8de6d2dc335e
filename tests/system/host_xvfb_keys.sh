#!/usr/bin/env bash
# Under Xvfb with the SDL backend: the window carries the show's title, letter presses
# are logged to debug.txt, F12 ends the show with status 0.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
start_xvfb
make_data
cd "$WORK"
echo "before" >debug.txt
"$SHOW" --window --scale 1 --test-card --data "$DATA" >"$WORK/show.log" 2>&1 &
pid=$!
SHOW_PID=$pid
win=$(find_window "$pid") || fail "no window titled '$TITLE'"
xdotool windowfocus "$win"
sleep 0.3
for k in a b a; do
  xdotool key "$k"
  sleep 0.2
done
xdotool key F12
wait_exit "$pid" 20
status=$?
[ "$status" -eq 0 ] || { cat "$WORK/show.log"; fail "F12 gave status $status"; }
lines=$(cat debug.txt)
echo "$lines"
[ "$(sed -n 1p debug.txt)" = before ] || fail "debug.txt lost what it held"
for n in 0 1 2; do
  sed -n "$((n + 2))p" debug.txt | grep -Eq "^key: $n time: [0-9]+\.[0-9]{6}$" || fail "line for key $n missing or malformed"
done
[ "$(wc -l <debug.txt)" -eq 4 ] || fail "F12 must not be logged"
echo "ok"
