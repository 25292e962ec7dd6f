#!/usr/bin/env bash
# Installs the Debian packages Orbel2 needs, only those that are missing.
# Usage: tools/install-deps.sh build|test
set -euo pipefail

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libfontconfig-dev
  fonts-liberation fonts-dejavu-core)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev libbox2d-dev libchipmunk-dev xvfb xauth xdotool imagemagick
  clang-14 libclang-rt-14-dev doxygen dpkg-dev file
  g++-aarch64-linux-gnu qemu-user libc6-dev-i386 lib32stdc++-12-dev)

wanted=("${BUILD_PACKAGES[@]}")
if [[ "${1:-build}" == "test" ]]; then
  wanted+=("${TEST_PACKAGES[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  SUDO=sudo
else
  SUDO=
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
