#!/usr/bin/env bash
# Fetches Debian's source packages of SDL2, SDL2_ttf, SDL2_image and FreeType
# into the cache, for the Windows and web builds: no Debian package ships
# them built for MinGW or Emscripten. A private apt configuration whose
# deb-src lines mirror the machine's deb lines is used, so /etc/apt is left
# as it is. Packages already fetched are not fetched again.
set -euo pipefail
. "$(dirname "$0")/common.sh"

command -v apt-get >/dev/null || port_die "apt-get is needed to fetch the sources"

missing=""
for p in $PORT_PACKAGES; do
    ls "$PORT_SOURCES/$p"/*.dsc >/dev/null 2>&1 || missing="$missing $p"
done
if [ -z "$missing" ]; then
    port_log "sources already in $PORT_SOURCES"
    exit 0
fi

apt_dir=$ORBEL2_CACHE/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
list=$apt_dir/sources.list.d/orbel2-src.sources
: > "$list"
# Every deb822 stanza and one-line entry of the machine's own lists, as deb-src.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in
    *.sources) sed -e 's/^Types:.*$/Types: deb-src/' "$f" >> "$list"; printf '\n' >> "$list" ;;
    *.list) sed -n 's/^deb \(.*\)$/Types: deb-src\nURIs: \1/p' "$f" | awk '
        /^Types:/ { print; next }
        /^URIs:/ { n = split(substr($0, 7), w, " "); o = 1
                   if (w[1] ~ /^\[/) { while (w[o] !~ /\]$/) o++; o++ }
                   printf "URIs: %s\nSuites: %s\nComponents:", w[o], w[o+1]
                   for (i = o + 2; i <= n; i++) printf " %s", w[i]
                   printf "\n\n" }' >> "$list" ;;
    esac
done
grep -q '^URIs:' "$list" || port_die "no deb lines found in /etc/apt to mirror"

apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Get::List-Cleanup=0
          -o APT::Sandbox::User=root)
port_log "updating the private source lists"
apt-get "${apt_opts[@]}" -q update >/dev/null || port_die "apt-get update of the source lists failed"
for p in $missing; do
    mkdir -p "$PORT_SOURCES/$p"
    (cd "$PORT_SOURCES/$p" && apt-get "${apt_opts[@]}" -q source --download-only "$p" >/dev/null) ||
        port_die "could not fetch the source of $p"
    port_log "$p $(port_version "$p")"
done
