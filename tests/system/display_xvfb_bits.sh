#!/usr/bin/env bash
# Under Xvfb with the SDL backend: for each screen depth the window shows the test card
# in its colours (red stays red); in a 640 x 480 mode the picture takes the top-left
# quarter and the rest is black.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
start_xvfb
make_data
cd "$WORK"

# pixel IMAGE X Y: "R,G,B" of one pixel of a screenshot.
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# near A B TOLERANCE: two "R,G,B" colours differ by at most TOLERANCE in each channel.
near() {
  local IFS=,
  local a=($1) b=($2)
  for c in 0 1 2; do
    local d=$((a[c] - b[c]))
    [ "${d#-}" -le "$3" ] || return 1
  done
}

# The test card's bars, 40 pixels wide, left to right.
bars=(255,0,0 0,255,0 0,0,255 255,255,255 255,255,0 0,255,255 255,0,255 0,0,0)

shoot() {  # shoot NAME ARGS...: starts the show, screenshots its window, ends it with F12
  local name=$1
  shift
  "$SHOW" --window --scale 1 --test-card --data "$DATA" "$@" >"$WORK/$name.log" 2>&1 &
  local pid=$!
  SHOW_PID=$pid
  local win
  win=$(find_window "$pid") || fail "$name: no window"
  sleep 1
  import -window "$win" "$WORK/$name.png" || fail "$name: no screenshot"
  xdotool windowfocus "$win"
  xdotool key F12
  wait_exit "$pid" 20 || { cat "$WORK/$name.log"; fail "$name: status $?"; }
}

for bits in 32 24 16; do
  shoot "bits$bits" --bits "$bits"
  for i in "${!bars[@]}"; do
    got=$(pixel "$WORK/bits$bits.png" $((i * 40 + 20)) 100)
    # 5-6-5 keeps the top bits; how the low bits are filled back is the renderer's affair.
    tolerance=0
    [ "$bits" = 16 ] && tolerance=8
    near "$got" "${bars[$i]}" "$tolerance" || fail "--bits $bits: bar $i is $got, not ${bars[$i]}"
  done
  echo "--bits $bits: colours ok"
done

shoot mode640 --mode 640x480 --bits 16
# The 640 x 480 surface fills the 320 x 240 window: the picture is its top-left quarter.
near "$(pixel "$WORK/mode640.png" 10 50)" 255,0,0 8 || fail "640x480: no red bar top left"
near "$(pixel "$WORK/mode640.png" 30 50)" 0,255,0 8 || fail "640x480: no green bar"
for xy in "200 50" "300 200" "100 180"; do
  [ "$(pixel "$WORK/mode640.png" $xy)" = 0,0,0 ] || fail "640x480: not black at $xy"
done
echo "--mode 640x480: quarter ok"
echo "ok"
