#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  liblua5.1-0-dev libvorbis-dev
  libsdl2-dev libopenal-dev libfreetype-dev fonts-dejavu-core libstb-dev
  libavformat-dev libavcodec-dev libswscale-dev libepoxy-dev libegl-dev libgl1-mesa-dri
  vorbis-tools
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
