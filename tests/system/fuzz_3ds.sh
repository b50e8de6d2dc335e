#!/usr/bin/env bash
# Runs the .3DS loader's fuzz harness for a few seconds from the tests' corpus and the
# forge's scenes (the harness is built by fuzz_common.inc).
#   fuzz_3ds.sh BUILD_DIR SOURCE_DIR     (FUZZ_SECONDS overrides the run time, default 10)
set -euo pipefail
fuzz_test=fuzz_3ds
source "$(dirname "$0")/fuzz_common.inc"
seconds=${FUZZ_SECONDS:-10}
fuzz_build fuzz_3ds

# Seeds: the hand-built corpus the engine tests write.
seeds=$build/tests/corpus3ds
if [ ! -d "$seeds" ] && [ -x "$build/tests/test_engine" ]; then
  (cd "$build/tests" && ./test_engine --gtest_filter='Corpus3ds.*' >/dev/null)
fi
work=$fuzz_tree/work-3ds
mkdir -p "$seeds" "$work/corpus"
# The forge's scenes, when this build made its data set, are seeds too.
forge=$work/seeds-forge
rm -rf "$forge"
mkdir -p "$forge"
if [ -d "$build/data" ]; then
  find "$build/data" -iname '*.3ds' -exec cp {} "$forge/" \;
fi
fuzz_run fuzz_3ds "$seconds" "$work/corpus" "$seeds" "$forge" -- -max_len=16384
