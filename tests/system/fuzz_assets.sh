#!/usr/bin/env bash
# Runs the picture and motion fuzz harnesses for a few seconds each on a small seed corpus
# (the harnesses are built by fuzz_common.inc).
#   fuzz_assets.sh BUILD_DIR SOURCE_DIR     (FUZZ_SECONDS overrides the time per harness)
set -euo pipefail
fuzz_test=fuzz_assets
source "$(dirname "$0")/fuzz_common.inc"
seconds=${FUZZ_SECONDS:-4}
command -v convert >/dev/null || missing "ImageMagick's convert"
targets=(fuzz_image_pcx fuzz_image_tga fuzz_image_bmp fuzz_image_lbm fuzz_image_rix fuzz_image_cel
  fuzz_image_jpg fuzz_motion)
fuzz_build "${targets[@]}"
out=$fuzz_tree/work-assets

# Seeds: small valid files of every kind.
seeds=$out/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{pcx,tga,bmp,lbm,rix,cel,jpg,motion}
fuzz_small_seeds "$seeds"

failed=0
for t in "${targets[@]}"; do
  kind=${t#fuzz_image_}
  [ "$t" = fuzz_motion ] && kind=motion
  mkdir -p "$out/corpus/$kind"
  fuzz_run "$t" "$seconds" "$out/corpus/$kind" "$seeds/$kind" || failed=1
done
exit $failed
