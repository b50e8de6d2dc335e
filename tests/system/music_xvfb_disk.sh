#!/usr/bin/env bash
# On a desktop (Xvfb) with SDL's disk audio driver, 20 s of the show write sound whose
# left and right channels follow the decoded soundtrack.
set -uo pipefail
. "$(dirname "$0")/music_common.inc"
command -v Xvfb >/dev/null 2>&1 || missing "Xvfb is not installed"
make_data
cd "$WORK"

exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$WORK/display")"
unset WAYLAND_DISPLAY

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/out.raw" \
  timeout 120 "$SHOW" --data "$DATA" --window --scale 1 --end 20 >"$WORK/show.log" 2>&1 ||
  fail "the show ended with status $? ($(tail -1 "$WORK/show.log"))"
[ -s "$WORK/out.raw" ] || fail "the disk driver wrote nothing"
"$COMPARE" correlate "$MP3" "$WORK/out.raw" 15 || fail "the sound does not follow the soundtrack"
