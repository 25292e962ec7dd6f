#!/usr/bin/env bash
# Builds Orbel2 (optimised) and starts the demo. Installs the Debian packages
# it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh build

cmake --preset release -DORBEL2_BUILD_TESTS=OFF -DORBEL2_BUILD_BENCH=OFF
cmake --build --preset release -j 2

if [[ ! -x build/release/orbel2 ]]; then
  echo "Built the engine; the demo program orbel2 does not exist yet."
  exit 0
fi
exec build/release/orbel2
