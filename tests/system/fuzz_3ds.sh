#!/usr/bin/env bash
# Builds the .3DS loader's fuzz harness with clang's libFuzzer (AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a few seconds from the tests' corpus.
#   fuzz_3ds.sh BUILD_DIR SOURCE_DIR     (FUZZ_SECONDS overrides the run time, default 10)
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
seconds=${FUZZ_SECONDS:-10}

missing() {  # on CI a missing tool is a failure, elsewhere a skip
  echo "fuzz_3ds: $1 is not installed" >&2
  if [ "${CI:-}" = true ]; then exit 1; fi
  exit 77
}
command -v clang++ >/dev/null || missing clang++
probe=$build/fuzz-3ds-probe
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe.cpp"
clang++ -fsanitize=fuzzer "$probe.cpp" -o "$probe" 2>/dev/null ||
  missing "clang's libFuzzer runtime (libclang-rt-14-dev)"

out=$build/fuzz-3ds
if [ ! -f "$out/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTH_FUZZ=ON \
    -DTH_TESTS=OFF -DTH_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined >/dev/null
fi
cmake --build "$out" --target fuzz_3ds -- -j2 >/dev/null

# Seeds: the hand-built corpus the engine tests write.
seeds=$build/tests/corpus3ds
if [ ! -d "$seeds" ] && [ -x "$build/tests/test_engine" ]; then
  (cd "$build/tests" && ./test_engine --gtest_filter='Corpus3ds.*' >/dev/null)
fi
mkdir -p "$seeds" "$out/corpus"
# The forge's scenes, when this build made its data set, are seeds too.
forge=$out/seeds-forge
rm -rf "$forge"
mkdir -p "$forge"
if [ -d "$build/data" ]; then
  find "$build/data" -iname '*.3ds' -exec cp {} "$forge/" \;
fi
if ! "$out/fuzz_3ds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -print_final_stats=0 "$out/corpus" "$seeds" "$forge" >"$out/fuzz_3ds.log" 2>&1; then
  echo "fuzz_3ds: found a fault:" >&2
  tail -40 "$out/fuzz_3ds.log" >&2
  exit 1
fi
echo "fuzz_3ds: $(grep -o 'DONE.*' "$out/fuzz_3ds.log" | tail -1)"
