#!/usr/bin/env bash
# Builds the demo for the browser with Debian's Emscripten, on the libraries
# of tools/ports/build-deps.sh: build/web/orbel2.html with orbel2.js,
# orbel2.wasm and orbel2.data (the fonts), for any static file server.
# Usage: tools/ports/build-web.sh [asyncify]   (prints the path of orbel2.html)
#   asyncify: the blocking loop under Emscripten's asyncify instead, into
#   build/web-asyncify, only to compare the two (docs/platforms.md).
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$REPO_DIR"

prefix=$("$PORTS_DIR/build-deps.sh" web | tail -n 1)
. "$PORTS_DIR/emscripten-env.sh"
out=build/web
asyncify=OFF
if [ "${1:-}" = asyncify ]; then
    out=build/web-asyncify
    asyncify=ON
fi
ORBEL2_PORT_PREFIX=$prefix emcmake cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORBEL2_PORT_PREFIX="$prefix" -DORBEL2_WEB_ASYNCIFY=$asyncify -DORBEL2_BUILD_TESTS=OFF -DORBEL2_BUILD_BENCH=OFF >"$out.configure.log" 2>&1 ||
    { tail -n 20 "$out.configure.log" >&2; port_die "configuring the web build failed"; }
cmake --build "$out" -j "$PORT_JOBS" --target orbel2 >&2
printf '%s\n' "$REPO_DIR/$out/orbel2.html"
