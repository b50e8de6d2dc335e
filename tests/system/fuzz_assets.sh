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
pic=$seeds/source.ppm
{ printf 'P6 9 7 255\n'; for i in $(seq 0 62); do printf "\\$(printf %o $((i * 4)))\\$(printf %o $((255 - i)))\\$(printf %o $((i * 37 % 256)))"; done; } >"$pic"
convert "$pic" -colors 16 -type Palette pcx:"$seeds/pcx/pal.pcx"
convert "$pic" -type TrueColor pcx:"$seeds/pcx/rgb.pcx"
for c in None RLE; do
  convert "$pic" -type TrueColor -compress $c tga:"$seeds/tga/true$c.tga"
  convert "$pic" -colors 16 -type Palette -compress $c tga:"$seeds/tga/map$c.tga"
  convert "$pic" -colors 16 -type Palette -compress $c bmp3:"$seeds/bmp/pal$c.bmp"
done
convert "$pic" -type TrueColor bmp3:"$seeds/bmp/rgb.bmp"
convert "$pic" -quality 80 jpg:"$seeds/jpg/colour.jpg"
convert "$pic" -interlace Plane -quality 80 jpg:"$seeds/jpg/progressive.jpg"
convert "$pic" -colorspace Gray jpg:"$seeds/jpg/grey.jpg"
palette() { head -c 768 /dev/zero | tr '\0' '\077'; }
pixels() { head -c 63 /dev/zero | tr '\0' '\003'; }
{ printf 'RIX3\011\000\007\000\257\000'; palette; pixels; } >"$seeds/rix/seed.rix"
{ printf '\031\221\011\000\007\000'; head -c 26 /dev/zero; palette; pixels; } >"$seeds/cel/seed.cel"
{ printf 'FORM\000\000\000\120ILBMBMHD\000\000\000\024\000\011\000\007'; head -c 16 /dev/zero
  printf 'CMAP\000\000\000\006\377\000\000\000\377\000BODY\000\000\000\010'; head -c 8 /dev/zero
} >"$seeds/lbm/seed.lbm"
{ printf 'QUB SL\305R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADER\000'
  printf '\002\000\000\000Neck\000\030\000\000\000'; head -c 96 /dev/zero
  printf 'Hip\000\044\000\000\000'; head -c 144 /dev/zero
} >"$seeds/motion/seed.qub"

failed=0
for t in "${targets[@]}"; do
  kind=${t#fuzz_image_}
  [ "$t" = fuzz_motion ] && kind=motion
  mkdir -p "$out/corpus/$kind"
  fuzz_run "$t" "$seconds" "$out/corpus/$kind" "$seeds/$kind" || failed=1
done
exit $failed
