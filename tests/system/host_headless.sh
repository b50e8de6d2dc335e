#!/usr/bin/env bash
# Headless runs: the show, and the test card too, ends by itself just after 266 s with
# status 0; a capture holds the frames of [S, E) and nothing else; a bad command line gives
# status 2 and one line.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
make_data
need convert ffprobe
cd "$WORK"

timeout 120 "$SHOW" --headless --start 265 --data "$DATA" >"$WORK/end.log" 2>&1
status=$?
[ "$status" -eq 0 ] || { cat "$WORK/end.log"; fail "--headless --start 265 gave status $status"; }

timeout 120 "$SHOW" --capture "$WORK/frames" --start 10 --end 10.1 --fps 20 --test-card --bits 16 \
  --data "$DATA" >"$WORK/capture.log" 2>&1 || { cat "$WORK/capture.log"; fail "capture failed"; }
[ -f "$WORK/frames/frame_000001.png" ] || fail "frame_000001.png missing"
[ ! -e "$WORK/frames/frame_000002.png" ] || fail "a frame at or past --end was written"
red=$(convert "$WORK/frames/frame_000000.png" -format "%[fx:int(255*p{20,20}.r)],%[fx:int(255*p{20,20}.g)]" info:)
[ "$red" = 255,0 ] || fail "the captured test card's first bar is $red, not red"

timeout 120 "$SHOW" --capture "$WORK/show.mp4" --start 265.5 --data "$DATA" >"$WORK/mp4.log" 2>&1 ||
  { cat "$WORK/mp4.log"; fail "video capture failed"; }
streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$WORK/show.mp4")
[[ "$streams" == *video* ]] || fail "show.mp4 has no video stream"
[[ "$streams" == *audio* ]] || fail "show.mp4 has no sound"

timeout 120 "$SHOW" --headless --test-card --start 265.5 --data "$DATA" >"$WORK/card.log" 2>&1 ||
  { cat "$WORK/card.log"; fail "a headless test card without --end did not end with status 0"; }

out=$("$SHOW" --bits 12 2>&1)
status=$?
[ "$status" -eq 2 ] || fail "a bad command line gave status $status"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "a bad command line printed more than one line"
printf '%s\n' "$out" | grep -q -- "--help" || fail "no hint at --help"
echo "ok"
