#!/usr/bin/env bash
# Runs every reader's fuzz harness for a given time on its own corpus and prints a table:
# target, executions, corpus size, findings.
#   fuzz/run_all.sh BUILD_DIR SECONDS [TARGET...]
# The harnesses are built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# in BUILD_DIR/fuzz-sanitized. Seeds come from the forge's data set (BUILD_DIR/data), the
# engine tests' 3DS corpus, small files made here and the committed inputs in tests/data.
# Corpora grow in BUILD_DIR/fuzz-sanitized/corpus/<kind> from run to run; a finding's input
# is kept in BUILD_DIR/fuzz-sanitized/findings/<kind>. Exit status 1 when anything was found.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2; exit 2; }
fuzz_test=run_all
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/system/fuzz_common.inc" "$1" "$here/.."
seconds=$2
shift 2
all=(fuzz_3ds fuzz_image_pcx fuzz_image_tga fuzz_image_bmp fuzz_image_lbm fuzz_image_rix
  fuzz_image_cel fuzz_image_jpg fuzz_motion fuzz_morph fuzz_flares fuzz_music)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
fuzz_build "${targets[@]}"

kind_of() {
  case $1 in
    fuzz_image_*) echo "${1#fuzz_image_}" ;;
    *) echo "${1#fuzz_}" ;;
  esac
}

# Seeds, made for each run (cheap): a few small valid files of every kind.
# Each run has its own, so that runs side by side do not remake each other's.
seeds=$(mktemp -d "$fuzz_tree/seeds.XXXXXX")
trap 'rm -rf "$seeds"' EXIT
mkdir -p "$seeds"/{3ds,pcx,tga,bmp,lbm,rix,cel,jpg,motion,morph,flares,music}
data=$build/data
if [ -d "$data" ]; then
  # The forge's files that are small enough to mutate quickly.
  find "$data" -iname '*.3ds' -size -64k -exec cp {} "$seeds/3ds/" \;
  for k in pcx tga jpg; do find "$data" -iname "*.$k" -size -48k -exec cp {} "$seeds/$k/" \;; done
  find "$data" -iname '*.qub' -size -64k -exec cp {} "$seeds/motion/" \;
  find "$data" -iname '*.amf' -exec cp {} "$seeds/morph/" \;
  # The flare harness's first byte names the file the rest replaces: 0 the glow, k lenz<k>.
  [ -f "$data/textures/light.jpg" ] && { printf '\000'; cat "$data/textures/light.jpg"; } >"$seeds/flares/glow"
  for k in 1 2 3 4 5 6 7 8 9; do
    [ -f "$data/flares/lenz$k.raw" ] && { printf "\\$k"; cat "$data/flares/lenz$k.raw"; } >"$seeds/flares/lenz$k"
  done
fi
printf '\001short' >"$seeds/flares/short"
[ -d "$build/tests/corpus3ds" ] && cp "$build/tests/corpus3ds"/* "$seeds/3ds/" 2>/dev/null || true
fuzz_small_seeds "$seeds"
{ printf 'QUB HAR KULT MORPHEPROGRAM\000\011\000\000\000\007\000\000\000'; head -c 1008 /dev/urandom
} >"$seeds/morph/seed.amf"
if command -v ffmpeg >/dev/null; then
  for a in "22050 1 32k" "44100 2 64k"; do
    set -- $a
    ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=0.3" -ar "$1" \
      -ac "$2" -c:a libmp3lame -b:a "$3" "$seeds/music/sine$1.mp3"
  done
fi
# Inputs that once found a fault, and the malformed-file suite's inputs.
src_data=$here/../tests/data/hostile
for k in 3ds pcx tga bmp lbm rix cel jpg motion morph flares music; do
  [ -d "$src_data/$k" ] && cp "$src_data/$k"/* "$seeds/$k/" 2>/dev/null || true
done

rows=()
failed=0
for t in "${targets[@]}"; do
  kind=$(kind_of "$t")
  corpus=$fuzz_tree/corpus/$kind
  found=$fuzz_tree/findings/$kind
  mkdir -p "$corpus" "$found"
  dict=()
  [ -f "$here/dict/$kind.dict" ] && dict=(-dict="$here/dict/$kind.dict")
  max_len=16384
  [ "$kind" = music ] && max_len=8192
  log=$fuzz_tree/$t.log
  before=$(ls "$found" | wc -l)
  status=ok
  "$fuzz_tree/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=$max_len \
    -print_final_stats=1 -artifact_prefix="$found/" "${dict[@]}" "$corpus" "$seeds/$kind" \
    >"$log" 2>&1 || status=fault
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  findings=$(($(ls "$found" | wc -l) - before))
  if [ "$status" = fault ] || [ "$findings" -gt 0 ]; then
    failed=1
    echo "---- $t found a fault:" >&2
    grep -m1 -A30 'ERROR\|runtime error\|timeout\|out-of-memory' "$log" >&2 || tail -30 "$log" >&2
  fi
  rows+=("$(printf '%-16s %12s %8s %9s' "$t" "${execs:-?}" "$(ls "$corpus" | wc -l)" "$findings")")
done
printf '%-16s %12s %8s %9s\n' target executions corpus findings
printf '%s\n' "${rows[@]}"
exit $failed
