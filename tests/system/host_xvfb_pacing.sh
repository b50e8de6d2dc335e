#!/usr/bin/env bash
# Real-time play in a window under Xvfb, where the renderer cannot wait for a vertical
# blank: present paces itself to the display's rate (60 Hz when it reports none), so 10 s
# present about 600 frames and the show uses well under half a core instead of spinning.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
start_xvfb
make_data
need /usr/bin/time
cd "$WORK"

TIDALHALL_STATS=1 /usr/bin/time -f "cpu %U %S wall %e" "$SHOW" --window --scale 1 --test-card \
  --data "$DATA" --end 10 >"$WORK/show.log" 2>&1 || { cat "$WORK/show.log"; fail "the show failed"; }
frames=$(sed -n 's/^tidalhall: \([0-9]*\) frames presented$/\1/p' "$WORK/show.log")
read -r user sys wall < <(sed -n 's/^cpu \([0-9.]*\) \([0-9.]*\) wall \([0-9.]*\)$/\1 \2 \3/p' "$WORK/show.log")
[ -n "$frames" ] && [ -n "$wall" ] || { cat "$WORK/show.log"; fail "no figures"; }
echo "frames $frames, cpu $user + $sys s over $wall s"
[ "$frames" -ge 570 ] && [ "$frames" -le 630 ] || fail "$frames frames presented in 10 s, not 600 +- 30"
# The first second is start-up (assets, music priming); the play itself must idle.
awk -v u="$user" -v s="$sys" -v w="$wall" 'BEGIN { exit !((u + s) < 0.5 * w) }' ||
  fail "the show used $user + $sys s of CPU in $wall s"
echo ok
