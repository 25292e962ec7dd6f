#!/usr/bin/env bash
# Builds SDL2, FreeType, SDL2_ttf and SDL2_image from Debian's sources for
# one target and installs them, static, into a prefix in the cache keyed by
# the libraries' versions and the compiler's. A library already in the
# prefix is not built again, so only the first run pays for SDL2 (minutes).
# Usage: tools/ports/build-deps.sh windows|web   (prints the prefix)
set -euo pipefail
. "$(dirname "$0")/common.sh"

target=${1:-}
case "$target" in
windows)
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || port_die "x86_64-w64-mingw32-g++-posix not found (g++-mingw-w64-x86-64-posix)"
    compiler=$(x86_64-w64-mingw32-gcc-posix -dumpfullversion)
    configure=(cmake -G Ninja "-DCMAKE_TOOLCHAIN_FILE=$REPO_DIR/cmake/mingw-w64-x86_64.cmake")
    ;;
web)
    command -v emcmake >/dev/null || port_die "emcmake not found (emscripten)"
    . "$PORTS_DIR/emscripten-env.sh"
    compiler=$(emcc -dumpversion 2>/dev/null | head -n 1)
    configure=(emcmake cmake -G Ninja)
    ;;
*) port_die "usage: build-deps.sh windows|web" ;;
esac
"$PORTS_DIR/fetch-sources.sh"

sdl=$(port_version libsdl2) ttf=$(port_version libsdl2-ttf)
image=$(port_version libsdl2-image) ft=$(port_version freetype)
prefix=$ORBEL2_CACHE/$target/sdl2-$sdl-ttf-$ttf-image-$image-ft-$ft-cc-$compiler
work=$ORBEL2_CACHE/$target/work
mkdir -p "$prefix" "$work"
export ORBEL2_PORT_PREFIX=$prefix

common=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_INSTALL_PREFIX=$prefix" "-DCMAKE_PREFIX_PATH=$prefix"
        "-DCMAKE_FIND_ROOT_PATH=$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev)

# build NAME PACKAGE CMAKE-OPTIONS...: configure, build and install once.
build() {
    local name=$1 package=$2
    shift 2
    [ -f "$prefix/.built-$name" ] && return 0
    local start=$SECONDS source
    source=$(port_unpack "$package" "$work/$name-src")
    rm -rf "$work/$name-build"
    port_log "$target: configuring $name"
    "${configure[@]}" -S "$source" -B "$work/$name-build" "${common[@]}" "$@" >"$work/$name.log" 2>&1 ||
        port_die "$target: configuring $name failed; see $work/$name.log"
    port_log "$target: building $name"
    cmake --build "$work/$name-build" -j "$PORT_JOBS" >>"$work/$name.log" 2>&1 &&
        cmake --install "$work/$name-build" >>"$work/$name.log" 2>&1 ||
        port_die "$target: building $name failed; see $work/$name.log"
    rm -rf "$work/$name-build" "$work/$name-src"
    touch "$prefix/.built-$name"
    port_log "$target: $name done in $((SECONDS - start)) s"
}

build sdl2 libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_UNINSTALL=ON
build freetype freetype -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
build sdl2_ttf libsdl2-ttf -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF
build sdl2_image libsdl2-image -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_SAMPLES=OFF \
    -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF \
    -DSDL2IMAGE_BACKEND_WIC=OFF
printf '%s\n' "$prefix"
