#!/usr/bin/env bash
# Builds orbel2.exe for 64-bit Windows with Debian's MinGW-w64, on the
# libraries of tools/ports/build-deps.sh, and packs it with its fonts and the
# README into build/windows/orbel2-windows.zip.
# Usage: tools/ports/build-windows.sh   (prints the path of the .exe)
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$REPO_DIR"

command -v zip >/dev/null || port_die "zip not found"
prefix=$("$PORTS_DIR/build-deps.sh" windows | tail -n 1)
out=build/windows
ORBEL2_PORT_PREFIX=$prefix cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$REPO_DIR/cmake/mingw-w64-x86_64.cmake" -DORBEL2_PORT_PREFIX="$prefix" \
    -DORBEL2_BUILD_TESTS=OFF -DORBEL2_BUILD_BENCH=OFF >"$out.configure.log" 2>&1 ||
    { tail -n 20 "$out.configure.log" >&2; port_die "configuring the Windows build failed"; }
cmake --build "$out" -j "$PORT_JOBS" --target orbel2 >&2
x86_64-w64-mingw32-strip "$out/orbel2.exe"

rm -rf "$out/package" "$out/orbel2-windows.zip"
mkdir -p "$out/package/orbel2/fonts"
cp "$out/orbel2.exe" README.md LICENSE "$out/package/orbel2/"
cp "$out"/fonts/*.ttf "$out/package/orbel2/fonts/"
(cd "$out/package" && zip -qr9 ../orbel2-windows.zip orbel2)
printf '%s\n' "$REPO_DIR/$out/orbel2.exe"
