#!/usr/bin/env bash
# The speed targets, each beside its measurement, in one table.
#   bench/targets.sh [BUILD_DIR] [--runs N] [--capture] [--span S E]
# The whole show (or [S, E)) is played N times (default 5) with `tidalhall --bench` on the
# build's data set; each figure is the median of the runs. Beside it: the SIMD against plain
# ratios of the 2D kernels (bench/kernel_ratios.sh, when the benchmarks are built) and, with
# --capture, a video capture against ffmpeg alone encoding the same raw frames with the same
# settings (both timed in this run; needs ffmpeg and about 5 GB of free space for the whole
# show's raw frames, which are deleted afterwards).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../build
runs=5
capture=0
span=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --capture) capture=1; shift ;;
    --span) span=(--start "$2" --end "$3"); shift 3 ;;
    *) build=$1; shift ;;
  esac
done
build=$(cd "$build" && pwd)
show=$build/tidalhall
[ -x "$show" ] || { echo "targets.sh: $show is not built" >&2; exit 1; }
[ -f "$build/data/.complete" ] || { echo "targets.sh: the data set is not made (cmake --build build --target data)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "?"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for k in $(seq "$runs"); do
  echo "run $k of $runs ..." >&2
  "$show" --bench --data "$build/data" "${span[@]}" >"$work/bench$k.txt" 2>/dev/null
done
figure() {  # figure AWK-PROGRAM: one number per run, their median
  for k in $(seq "$runs"); do awk "$1" "$work/bench$k.txt"; done | median
}
total_fps=$(figure '/^total:/ { print $(NF - 1) }')
slowest_fps=$(figure '$2 ~ /Scene$/ && NF == 6 { if (min == "" || $6 < min) min = $6 } END { print min }')
slowest_row=$(awk '$2 ~ /Scene$/ && NF == 6 { if (min == "" || $6 < min) { min = $6; r = $2 " p" $3 } } END { print r }' "$work/bench1.txt")
worst_later=$(figure '/^worst later frame:/ { print $4 }')
worst_later_where=$(awk '/^worst later frame:/ { print $7 " s " $9 }' "$work/bench1.txt")
startup=$(figure '/^start-up:/ { print $2 }')
memory=$(figure '/^peak memory:/ { print $3 }')

ok() { awk -v a="$1" -v op="$2" -v b="$3" 'BEGIN { r = (op == ">=") ? (a >= b) : (a <= b); print r ? "ok" : "MISSED" }'; }
printf '%-44s %-18s %-28s %s\n' target required measured ""
row() { printf '%-44s %-18s %-28s %s\n' "$1" "$2" "$3" "$4"; }
row "whole show, frames per second" ">= 2000" "$total_fps" "$(ok "$total_fps" ">=" 2000)"
row "slowest timeline row, frames per second" ">= 500" "$slowest_fps ($slowest_row)" "$(ok "$slowest_fps" ">=" 500)"
row "worst frame that is no row's first, ms" "<= 5" "$worst_later (at $worst_later_where)" "$(ok "$worst_later" "<=" 5)"
row "start-up, s" "< 0.5" "$startup" "$(ok "$startup" "<=" 0.5)"
row "peak resident memory, MB" "< 128" "$memory" "$(ok "$memory" "<=" 128)"

if [ -x "$here/kernel_ratios.sh" ] && [ -x "$build/tidalhall-bench" ]; then
  "$here/kernel_ratios.sh" "$build" >"$work/ratios.txt" 2>/dev/null || true
  while read -r name plain simd ratio verdict rest; do
    [[ $ratio =~ ^[0-9.]+$ || $ratio = - ]] || continue
    row "SIMD / plain: $name" ">= 3x" "$ratio" "${verdict:-}${rest:+ $rest}"
  done <"$work/ratios.txt"
fi

if [ "$capture" = 1 ]; then
  command -v ffmpeg >/dev/null || { echo "targets.sh: --capture needs ffmpeg" >&2; exit 1; }
  real_ffmpeg=$(command -v ffmpeg)
  # A stand-in ffmpeg first on PATH keeps a copy of the raw frames the show sends it.
  mkdir -p "$work/bin"
  cat >"$work/bin/ffmpeg" <<EOF
#!/usr/bin/env bash
case " \$* " in
  *" -f rawvideo "*) tee "$work/frames.raw" | exec "$real_ffmpeg" "\$@" ;;
  *) exec "$real_ffmpeg" "\$@" ;;
esac
EOF
  chmod +x "$work/bin/ffmpeg"
  echo "capture: recording the raw frames ..." >&2
  PATH="$work/bin:$PATH" "$show" --capture "$work/first.mp4" --data "$build/data" "${span[@]}" >/dev/null 2>&1
  echo "capture: ffmpeg alone ..." >&2
  cat "$work/frames.raw" >/dev/null  # into the page cache, as a pipe would deliver them
  begin=$(date +%s.%N)
  "$real_ffmpeg" -nostdin -y -loglevel error -f rawvideo -pix_fmt bgr0 -s 320x240 -r 60.000000 \
    -i "$work/frames.raw" -vf scale=960:720:flags=neighbor -pix_fmt yuv420p -c:v libx264 \
    -preset veryfast -crf 18 "$work/alone.mkv"
  alone=$(awk -v a="$begin" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  rm -f "$work/frames.raw" "$work/first.mp4"
  echo "capture: the show's capture ..." >&2
  begin=$(date +%s.%N)
  "$show" --capture "$work/show.mp4" --data "$build/data" "${span[@]}" >/dev/null 2>&1
  whole=$(awk -v a="$begin" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  ratio=$(awk -v a="$whole" -v b="$alone" 'BEGIN { printf "%.2f", a / b }')
  row "capture / ffmpeg alone (${whole%.*} s / ${alone%.*} s)" "<= 1.5" "$ratio" "$(ok "$ratio" "<=" 1.5)"
fi
