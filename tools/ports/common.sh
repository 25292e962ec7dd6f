# Shared settings of the port scripts: where the cache lives and which
# source packages the Windows and web builds are made from. Sourced, not run.
ORBEL2_CACHE=${ORBEL2_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orbel2}
PORT_SOURCES=$ORBEL2_CACHE/sources
PORT_PACKAGES="libsdl2 libsdl2-ttf libsdl2-image freetype"
PORT_JOBS=${PORT_JOBS:-2}
PORTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(cd "$PORTS_DIR/../.." && pwd)

port_log() { printf '%s: %s\n' "${0##*/}" "$*" >&2; }
port_die() { port_log "$*"; exit 1; }

# The upstream version of a fetched source package, from its .dsc
# (2.26.5+dfsg-1 -> 2.26.5).
port_version() {
    local dsc
    dsc=$(ls "$PORT_SOURCES/$1"/*.dsc 2>/dev/null | head -n 1) || true
    [ -n "$dsc" ] || port_die "no source of $1 in $PORT_SOURCES; run tools/ports/fetch-sources.sh"
    sed -n 's/^Version: \(.*\)$/\1/p' "$dsc" | sed 's/^[0-9]*://; s/[+~-].*$//'
}

# Unpacks a fetched source package into DIR (once) and prints the directory.
port_unpack() {
    local package=$1 into=$2 orig
    orig=$(ls "$PORT_SOURCES/$package"/*.orig.tar.* | grep -v '\.asc$' | head -n 1)
    if [ ! -d "$into" ]; then
        mkdir -p "$into.tmp"
        tar -xf "$orig" -C "$into.tmp"
        mv "$into.tmp"/* "$into"
        rmdir "$into.tmp"
    fi
    printf '%s\n' "$into"
}
