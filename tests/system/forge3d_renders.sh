#!/usr/bin/env bash
# Every forged World rendered by tidalhall-inspect from each camera the show uses, at
# keyframes inside that camera's windows: the picture is full-size and the scene fills
# a good part of it (a camera looking into the void, or a World the renderer refuses,
# fails here).
#   forge3d_renders.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
forge=$build/tidalhall-forge
inspect=$build/tidalhall-inspect
if ! command -v convert >/dev/null; then
  echo "forge3d_renders: ImageMagick's convert is not installed" >&2
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi
[ -x "$forge" ] || { echo "forge3d_renders: $forge is missing" >&2; exit 1; }
[ -x "$inspect" ] || { echo "forge3d_renders: $inspect is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0

# Command-line mistakes get one line on standard error and exit status 2, writing nothing.
for args in "--seed" "--seed -1" "--seed 99999999999999999999" "--seed 1x" "--only" "--only nosuch" "--bogus"; do
  # shellcheck disable=SC2086
  "$forge" "$work/bad" $args >/dev/null 2>"$work/err"
  status=$?
  if [ "$status" != 2 ] || [ "$(wc -l <"$work/err")" != 1 ] || [ -e "$work/bad" ]; then
    echo "FAIL forge $args: status $status, $(wc -l <"$work/err") lines" >&2
    fails=$((fails + 1))
  fi
done

"$forge" "$work/data" --only worlds >/dev/null || { echo "FAIL forge --only worlds" >&2; exit 1; }

# shot FILE CAMERA FRAME MIN_COVER: the share of pixels brighter than black is at least MIN_COVER.
shot() {
  local file=$1 cam=$2 frame=$3 min=$4
  local out="$work/$(basename "$file" .3ds)_c${cam}_f${frame}.png"
  if ! "$inspect" "$work/data/$file" --png "$out" --camera "$cam" --frame "$frame" >/dev/null 2>&1; then
    echo "FAIL $file camera $cam frame $frame: inspect refused" >&2
    fails=$((fails + 1))
    return
  fi
  local size cover
  size=$(convert "$out" -format "%w x %h" info:)
  cover=$(convert "$out" -colorspace Gray -threshold 4% -format "%[fx:mean]" info:)
  if [ "$size" != "320 x 240" ] || awk -v c="$cover" -v m="$min" 'BEGIN { exit !(c < m) }'; then
    echo "FAIL $file camera $cam frame $frame: $size, covered $cover (want $min)" >&2
    fails=$((fails + 1))
  else
    echo "ok   $file camera $cam frame $frame covered $cover"
  fi
}

# The catwalk hall is dark around the runway; inspect draws no motion, so camera 0 is
# checked where the walk has ended and the dancer stands at the origin as at rest.
for f in 280 300 340; do shot 3d/catwalk.3ds 0 $f 0.2; done
for f in 220 250 270; do shot 3d/catwalk.3ds 1 $f 0.1; done
for f in 90 120 145; do shot 3d/catwalk.3ds 2 $f 0.2; done
for f in 0 100 200 300 399; do shot 3d/catwalk.3ds 3 $f 0.15; done
for f in 0 90 187; do shot 3d/catwalk.3ds 4 $f 0.2; done
for f in 0 22 45; do shot 3d/catwalk.3ds 5 $f 0.15; done
for c in 0 1 2; do for f in 0 60 150 280; do shot 3d/box.3ds $c $f 0.15; done; done
for c in 0 1; do for f in 0 100 200 315; do shot 3d3/test.3ds $c $f 0.5; done; done
for f in 0 30 46 160 250 392; do shot 3d2/scene3.3ds 0 $f 0.6; done
for f in 0 60 133; do shot 3d2/scene3.3ds 1 $f 0.6; done
for f in 0 45 92; do shot 3d2/scene3.3ds 4 $f 0.6; done
shot 3d/cube2.3ds 0 0 0.1
# The object is thin dashed rings around the viewer: a few per cent of the frame, not more.
shot 3d/dings.3ds 0 0 0.01

[ "$fails" = 0 ] || { echo "$fails renders failed" >&2; exit 1; }
