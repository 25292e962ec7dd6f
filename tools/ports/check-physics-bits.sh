#!/usr/bin/env bash
# Builds the demo's scripted run (tools/scripted_run.cpp and the physics)
# for Windows and for the web and checks that each gives the determinism
# test's constant, as tools/cross-build-check.sh does for Linux builds: the
# Windows program runs under Wine, the web one under Node.
# Usage: tools/ports/check-physics-bits.sh [windows] [web]   (default both)
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$REPO_DIR"

expected=$(sed -n 's/^expected=//p' tools/cross-build-check.sh)
out=build/ports-physics
mkdir -p "$out"
sources=(tools/scripted_run.cpp orbel2/physics/*.cpp demo/DemoScene.cpp demo/ScriptedRun.cpp)
flags=(-std=c++20 -I. -O2 -ffp-contract=off -Wall -Wextra -Werror)
failures=0
targets=${*:-windows web}

check() {   # check NAME HASH-LINE
    local hash=${2%% *}
    if [ "$hash" = "$expected" ]; then
        printf 'ok    %-8s %s\n' "$1" "$hash"
    else
        printf 'FAIL  %-8s %s, expected %s\n' "$1" "${hash:-no output}" "$expected"
        failures=$((failures + 1))
    fi
}

for target in $targets; do
    case "$target" in
    windows)
        command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null ||
            port_die "windows: needs g++-mingw-w64-x86-64-posix and wine"
        x86_64-w64-mingw32-g++-posix "${flags[@]}" -static "${sources[@]}" -o "$out/scripted-run.exe"
        export WINEPREFIX=${WINEPREFIX:-$ORBEL2_CACHE/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            mkdir -p "$WINEPREFIX"
            xvfb-run -a wineboot -i >/dev/null 2>&1 || port_die "windows: wineboot -i failed"
        fi
        check windows "$(wine "$out/scripted-run.exe" | tr -d '\r')"
        ;;
    web)
        command -v em++ >/dev/null && command -v node >/dev/null || port_die "web: needs emscripten and node"
        . "$PORTS_DIR/emscripten-env.sh"
        em++ "${flags[@]}" -include web/OB_WebCompat.h -sENVIRONMENT=node "${sources[@]}" -o "$out/scripted-run.js"
        check web "$(node --no-experimental-fetch "$out/scripted-run.js")"
        ;;
    *) port_die "unknown target $target" ;;
    esac
done
exit $((failures > 0))
