#!/usr/bin/env bash
# The soundtrack through the whole show, headless: a capture holds exactly what mpg123
# decodes (also from a late start), and whole plays at 10, 35, 60 and 240 frames per
# second report no underruns.
set -uo pipefail
. "$(dirname "$0")/music_common.inc"
make_data
cd "$WORK"

"$SHOW" --data "$DATA" --capture "$WORK/cap" --fps 10 --end 30 >"$WORK/cap.log" 2>&1 ||
  fail "capture 0-30 s: status $? ($(tail -1 "$WORK/cap.log"))"
"$COMPARE" exact "$MP3" "$WORK/cap/audio.wav" || fail "capture 0-30 s differs from the decoding"
samples=$(( $(stat -c %s "$WORK/cap/audio.wav") / 4 - 11 ))
[ "$samples" = $((30 * 44100)) ] || fail "capture 0-30 s holds $samples samples, not $((30 * 44100))"
rm -rf "$WORK/cap"

"$SHOW" --data "$DATA" --capture "$WORK/late" --fps 25 --start 100 --end 112 >"$WORK/late.log" 2>&1 ||
  fail "capture 100-112 s: status $?"
"$COMPARE" exact "$MP3" "$WORK/late/audio.wav" 100 || fail "a late start does not sound as played through"
rm -rf "$WORK/late"

# The show's own end at 10 fps; the test card at the faster rates keeps 90,000 frames
# affordable (the pictures play no part in when the buffers are refilled).
for fps in 10 35 60 240; do
  extra=()
  [ "$fps" != 10 ] && extra=(--test-card --end 266)
  "$SHOW" --data "$DATA" --headless --fps "$fps" "${extra[@]}" >"$WORK/play$fps.log" 2>&1 ||
    fail "$fps fps: status $?"
  grep -q '^sound: 0 underruns$' "$WORK/play$fps.log" ||
    fail "$fps fps: $(grep '^sound:' "$WORK/play$fps.log" || echo 'no underrun report')"
  echo "$fps fps: no underruns"
done
