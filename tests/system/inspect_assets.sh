#!/usr/bin/env bash
# tidalhall-inspect on pictures and motion files: exact lines, --png pixels, exit statuses.
#   inspect_assets.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
inspect=$build/tidalhall-inspect
if ! command -v convert >/dev/null; then
  echo "inspect_assets: ImageMagick's convert is not installed" >&2
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi
[ -x "$inspect" ] || { echo "inspect_assets: $inspect is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
expect() {  # expect NAME WANTED_STATUS WANTED_OUTPUT -- COMMAND...
  local name=$1 status=$2 want=$3
  shift 4
  local got rc
  got=$("$@" 2>/dev/null)
  rc=$?
  if [ "$rc" != "$status" ] || [ "$got" != "$want" ]; then
    echo "FAIL $name: status $rc (want $status), output:"$'\n'"$got"$'\n'"wanted:"$'\n'"$want" >&2
    fails=$((fails + 1))
  else
    echo "ok   $name"
  fi
}

convert -size 37x23 gradient:red-blue -type TrueColor -compress RLE tga:"$work/pic.tga"
convert "$work/pic.tga" -colors 50 -type Palette pcx:"$work/pic.PCX"
expect "tga size" 0 "picture: 37 x 23" -- "$inspect" "$work/pic.tga"
expect "pcx size" 0 "picture: 37 x 23" -- "$inspect" "$work/pic.PCX" --png "$work/out.png"
if [ "$(convert "$work/out.png" -depth 8 rgb:- | md5sum)" = \
  "$(convert "$work/pic.PCX" -depth 8 rgb:- | md5sum)" ]; then
  echo "ok   pcx --png pixels"
else
  echo "FAIL pcx --png pixels differ from ImageMagick's" >&2
  fails=$((fails + 1))
fi

{ printf 'QUB SL\305R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADER\000'
  printf '\002\000\000\000Neck\000\030\000\000\000'; head -c 96 /dev/zero
  printf 'LeftArm\000\044\000\000\000'; head -c 144 /dev/zero
} >"$work/dance.qub"
expect "qub tracks" 0 'motion: tracks 2
track "Neck" frames 2
track "LeftArm" frames 3' -- "$inspect" "$work/dance.qub"
# The magic's 0xC5 written as UTF-8 is not the magic.
{ printf 'QUB SL\303\205R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADE\000'
  printf '\000\000\000\000'; } >"$work/utf8.qub"
expect "qub wrong magic" 1 "header mismatch" -- "$inspect" "$work/utf8.qub"
expect "option for a .3ds only" 2 "" -- "$inspect" "$work/pic.tga" --frame 3
expect "--png without a name" 2 "" -- "$inspect" "$work/pic.tga" --png
expect "missing pcx" 1 "PCX file not found" -- "$inspect" "$work/none.pcx"
expect "jpeg refused" 1 "sorry, files of .jpe type are not supported" -- "$inspect" "$work/x.jpeg"
printf '\377\330\377\001garbage' >"$work/bad.jpg"
expect "corrupt jpeg" 255 "JPEG datastream contains no image" -- "$inspect" "$work/bad.jpg"
[ "$fails" = 0 ]
