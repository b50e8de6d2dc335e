#!/usr/bin/env bash
# Runs the morph, flare and soundtrack fuzz harnesses for a few seconds each through the script
# that runs them all (the other harnesses have their own tests).
#   fuzz_readers.sh BUILD_DIR SOURCE_DIR     (FUZZ_SECONDS overrides the time per harness)
set -uo pipefail
src=$(cd "$2" && pwd)
"$src/fuzz/run_all.sh" "$1" "${FUZZ_SECONDS:-4}" fuzz_morph fuzz_flares fuzz_music
