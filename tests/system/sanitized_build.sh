#!/usr/bin/env bash
# The whole project built with AddressSanitizer and UndefinedBehaviorSanitizer (clang, in
# BUILD_DIR/sanitized), then run: every unit test; the whole show headless at 10 fps; a
# start just before the end, which runs every timeline row's first frame (where the scenes
# load and set up) and its last frame before it; and the hostile data set (each file cut to
# a third in turn). Any sanitizer report fails the test.
#   sanitized_build.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
. "$(dirname "$0")/host_common.inc"
SRC=$(cd "$2" && pwd)
need clang++ flock timeout
[ -f "$BUILD/data/.complete" ] || fail "the data set is not made (cmake --build build --target data)"
tree=$BUILD/sanitized
mkdir -p "$tree"

# Reports end the process with this status, so a report can never pass for a reader's own
# refusal (status 1). Leak checking is off: the show keeps its assets until it ends.
export ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86

(
  flock 9 || exit 1
  if [ ! -f "$tree/build.ninja" ]; then
    # -O1: quick to build, and still fast enough to play the whole show.
    CC=clang CXX=clang++ cmake -S "$SRC" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" \
      -DTH_SANITIZE=ON -DTH_BENCH=OFF -DTH_FUZZ=OFF || exit 1
  fi
  cmake --build "$tree" -- -j2
) 9>"$tree.lock" >"$WORK/build.log" 2>&1 || fail "the sanitized build failed"
# The generated data set does not depend on the build: the sanitized tree uses the main one.
ln -sfn "$BUILD/data" "$tree/data"

(cd "$tree" && ctest -j2 -E '^system\.' --timeout 600) >"$WORK/unit.log" 2>&1 ||
  { grep -A40 'runtime error\|ERROR: AddressSanitizer\|FAILED\|Failed' "$WORK/unit.log" | head -80 >&2
    fail "unit tests under the sanitizers"; }
echo "unit tests: $(grep -o '[0-9]* tests passed.*' "$WORK/unit.log" | tail -1)"

timeout 600 "$tree/tidalhall" --headless --fps 10 --data "$tree/data" >"$WORK/show.log" 2>&1 ||
  fail "the whole show under the sanitizers: status $?"
echo "whole show at 10 fps: ok"
timeout 300 "$tree/tidalhall" --headless --start 265.9 --data "$tree/data" >"$WORK/late.log" 2>&1 ||
  fail "every row's first frame under the sanitizers: status $?"
echo "every row's first frame: ok"

bash "$SRC/tests/system/hostile_data.sh" "$tree" "$SRC" >"$WORK/hostile.log" 2>&1 ||
  fail "the hostile data set under the sanitizers"
echo "hostile data set: $(tail -1 "$WORK/hostile.log")"
