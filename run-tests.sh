#!/usr/bin/env bash
# Builds Orbel2 and runs the whole test suite: the layer, guide and link checks,
# the optimised build, the sanitizer build (AddressSanitizer +
# UndefinedBehaviorSanitizer), the physics tests with ThreadSanitizer, the
# physics' determinism across compilers and processors, the installed package with the example built on it and the
# Debian package, the API reference, the end-to-end run of the demo in a
# virtual X server, and a short run of every fuzz target.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

cmake --preset release -DORBEL2_BUILD_TESTS=ON -DORBEL2_BUILD_BENCH=ON
cmake --preset asan -DORBEL2_BUILD_TESTS=ON

passed=0
failed=0
count_ctest() {
  local summary
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  local fails total
  fails=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

status=0
# A step of its own that passes or fails as a whole.
step() {
  echo "== $*"
  local began=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    status=1
  fi
  echo "== $1: $((SECONDS - began)) s"
}

# The layers of the engine, and the check's own proof that it catches a
# bad include; the guide's code against the example's.
step tools/check-layers.sh
step tools/check-layers.sh --self-test
step tools/check-guide.sh
# Every relative link of the README and of docs/ (the installed copy is
# followed by the package test).
step tools/check-links.sh

for preset in release asan; do
  began=$SECONDS
  cmake --build --preset "$preset" -j 2
  ctest --preset "$preset" 2>&1 | tee "build/$preset/ctest.log" || status=1
  count_ctest "build/$preset/ctest.log"
  echo "== $preset: built and tested in $((SECONDS - began)) s"
done

# The physics tests with ThreadSanitizer: the worker threads of the
# collision pass, on 1, 2, 3 and 8 workers.
began=$SECONDS
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j 2
ctest --preset tsan 2>&1 | tee build/tsan/ctest.log || status=1
count_ctest build/tsan/ctest.log
echo "== tsan: built and tested in $((SECONDS - began)) s"

# The determinism constant from GCC, Clang, i386 and aarch64 builds of the
# physics; a contracting build must differ and an x87 build be refused.
step tools/cross-build-check.sh build/cross

# The engine as others use it: installed, the example built from the
# installed package alone and run headless, the Debian package installed and
# removed; and the API reference.
step tools/package-test.sh build/release
step cmake --build --preset release --target docs

step tools/e2e-test.sh build/release/orbel2 build/e2e build/asan/orbel2

# The other targets, built from Debian's sources of SDL2, SDL2_ttf,
# SDL2_image and FreeType (cached outside the clone): the engine's sine and
# cosine against each target's, and the demo end to end on Windows under
# Wine and in headless Chromium, with recordings that replay to the same
# world on Linux and there.
step tools/ports/check-physics-bits.sh
step tools/e2e-windows.sh build/release/orbel2
step tools/e2e-web.sh build/release/orbel2

# Each fuzz target for a fixed number of inputs from its seed corpus, with a
# fixed seed so that the run is the same every time.
step tools/fuzz.sh --ci -runs=20000

echo "all: $passed passed, $failed failed, in $((SECONDS / 60)) min $((SECONDS % 60)) s"
exit $status
