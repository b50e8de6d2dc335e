#!/usr/bin/env bash
# A hostile data set: each of the show's files in turn cut to a third of its length, the show
# run headless over its start-up and first frames (every file is read or probed then). Each
# run ends with status 0, or 1 after one line of its own (255 for a JPEG the library
# rejects); never a signal, never a hang.
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
need timeout
[ -f "$BUILD/data/.complete" ] || fail "the data set is not made (cmake --build build --target data)"
cd "$WORK"
mkdir -p data
cp -rs "$BUILD/data/." data/ || fail "cannot link the data set"

runs=0
while IFS= read -r -d '' file; do
  rel=${file#"$BUILD/data/"}
  case $rel in music/*) continue ;; esac  # the soundtrack's own tests cover it
  size=$(stat -c %s "$file")
  for cut in $((size / 3)); do
    rm -f "data/$rel"
    head -c "$cut" "$file" >"data/$rel"
    timeout 60 "$SHOW" --headless --end 0.1 --fps 10 --data "$WORK/data" >run.log 2>&1
    status=$?
    runs=$((runs + 1))
    case $status in
      0) ;;
      1 | 255)
        [ "$(grep -vc '^sound:' run.log)" -le 2 ] || { cat run.log; fail "$rel cut to $cut bytes: more than a line"; } ;;
      124) fail "$rel cut to $cut bytes: the show hung" ;;
      *) cat run.log; fail "$rel cut to $cut bytes: status $status" ;;
    esac
  done
  rm -f "data/$rel"
  ln -s "$file" "data/$rel"
done < <(find -H "$BUILD/data" -type f ! -name '.complete' -print0 | sort -z)
echo "ok: $runs runs"
