#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and
# the fuzz targets need. Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm clang-format git
  libx11-dev libxpm-dev libxtst-dev zlib1g-dev
  xvfb xdotool xclip x11-utils x11-xserver-utils xfonts-base xfonts-75dpi xfonts-100dpi twm
  python3 util-linux lua5.4
  wamerican
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
