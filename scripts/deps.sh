#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not there yet.
#   scripts/deps.sh run    what building and playing the show needs
#   scripts/deps.sh test   that, plus the tools the tests drive
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config
  libsdl2-dev libjpeg62-turbo-dev libmpg123-dev libmp3lame-dev libpng-dev
  libfreetype-dev fonts-dejavu-core libgtest-dev libgmock-dev libbenchmark-dev)
run_pkgs=(ffmpeg)
test_pkgs=(clang-format ffmpeg xvfb xauth xdotool imagemagick libx11-dev clang libclang-rt-14-dev lib3ds-dev)

want=("${build_pkgs[@]}")
case "${1:-run}" in
  run) want+=("${run_pkgs[@]}") ;;
  test) want+=("${test_pkgs[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo=(sudo); else
    echo "missing packages (${missing[*]}) and no root or sudo to install them" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
