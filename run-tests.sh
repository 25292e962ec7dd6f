#!/usr/bin/env bash
# Builds Orbel2 and runs the whole test suite: the optimised build, the
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) and, where
# xvfb-run exists, the end-to-end run of the demo in a virtual X server.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

cmake --preset release -DORBEL2_BUILD_TESTS=ON -DORBEL2_BUILD_BENCH=ON
cmake --preset asan -DORBEL2_BUILD_TESTS=ON
for preset in release asan; do
  cmake --build --preset "$preset" -j 2
  ctest --preset "$preset"
done

if [[ -x build/release/orbel2 && -x tools/e2e-test.sh ]] && command -v xvfb-run >/dev/null; then
  tools/e2e-test.sh build/release/orbel2
fi
