#!/usr/bin/env bash
# Builds the picture and motion fuzz harnesses with clang's libFuzzer (AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a few seconds on a small seed corpus.
#   fuzz_assets.sh BUILD_DIR SOURCE_DIR     (FUZZ_SECONDS overrides the time per harness)
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
seconds=${FUZZ_SECONDS:-4}

missing() {  # on CI a missing tool is a failure, elsewhere a skip
  echo "fuzz_assets: $1 is not installed" >&2
  if [ "${CI:-}" = true ]; then exit 1; fi
  exit 77
}
command -v clang++ >/dev/null || missing clang++
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$build/fuzz-probe.cpp"
clang++ -fsanitize=fuzzer "$build/fuzz-probe.cpp" -o "$build/fuzz-probe" 2>/dev/null ||
  missing "clang's libFuzzer runtime (libclang-rt-14-dev)"
command -v convert >/dev/null || missing "ImageMagick's convert"

out=$build/fuzz-assets
targets=(fuzz_image_pcx fuzz_image_tga fuzz_image_bmp fuzz_image_lbm fuzz_image_rix fuzz_image_cel
  fuzz_image_jpg fuzz_motion)
if [ ! -f "$out/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTH_FUZZ=ON \
    -DTH_TESTS=OFF -DTH_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined >/dev/null
fi
cmake --build "$out" --target "${targets[@]}" -- -j2 >/dev/null

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
  corpus=$out/corpus/$kind
  mkdir -p "$corpus"
  if ! "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" "$seeds/$kind" >"$out/$t.log" 2>&1; then
    echo "fuzz_assets: $t found a fault:" >&2
    tail -40 "$out/$t.log" >&2
    failed=1
  else
    echo "$t: $(grep -o 'DONE.*' "$out/$t.log" | tail -1)"
  fi
done
exit $failed
