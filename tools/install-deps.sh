#!/usr/bin/env bash
# Installs the Debian packages Orbel2 needs, only those that are missing.
# Usage: tools/install-deps.sh [build|bench|test]
#   build  the engine and the demo: build, install, run, package (the default)
#   bench  build, and the benchmarks (-DORBEL2_BUILD_BENCH=ON)
#   test   bench, and all that run-tests.sh uses: the tests
#          (-DORBEL2_BUILD_TESTS=ON), the cross-builds, the virtual X server,
#          the fuzzers, the API reference and the Debian package's checks
set -euo pipefail

mode=${1:-build}
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libfontconfig-dev
  fonts-liberation fonts-dejavu-core)
BENCH_PACKAGES=(libbenchmark-dev libbox2d-dev libchipmunk-dev)
TEST_PACKAGES=(libgtest-dev libgmock-dev xvfb xauth xdotool imagemagick
  clang-14 libclang-rt-14-dev doxygen dpkg-dev file lintian man-db
  g++-aarch64-linux-gnu qemu-user libc6-dev-i386 lib32stdc++-12-dev)

case "$mode" in
  build) wanted=("${BUILD_PACKAGES[@]}") ;;
  bench) wanted=("${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}") ;;
  test) wanted=("${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *)
    echo "usage: tools/install-deps.sh [build|bench|test]" >&2
    exit 2
    ;;
esac

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
