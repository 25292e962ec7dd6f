#!/usr/bin/env bash
# Steps per second of the headless replay on Linux, on Windows (Wine) and in
# the browser (headless Chromium), on one recording of STEPS steps of
# driving through the boxes; each prints its time and the final hash, which
# must agree. Needs the three builds (build/release, build/windows,
# build/web) and playwright-core in the cache (tools/e2e-web.sh installs it).
# Usage: tools/ports/replay-speed.sh [STEPS]   (default 900000)
#   WEB_DIR=build/web-asyncify times the asyncify build instead.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$REPO_DIR"
steps=${1:-900000}
work=$(mktemp -d)
server=
trap '[[ -n $server ]] && kill $server; rm -rf "$work"' EXIT
python3 - "$work/long" "$steps" <<'PY'
import struct, sys
pattern = [4] * 150 + [6] * 40 + [4] * 200 + [5] * 60 + [8] * 90 + [0] * 100 + [4] * 300 + [9] * 60
steps = int(sys.argv[2])
keys = (pattern * (steps // len(pattern) + 1))[:steps]
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<3f", 0.0, 0.0, 0.0))
    out.write(b"".join(struct.pack("<2I", step, k) for step, k in enumerate(keys)))
PY
rate() { awk -v s="$steps" -v t="$1" 'BEGIN { printf "%.0f steps/s", s / t }'; }
start=$(date +%s.%N)
hash=$(build/release/orbel2 --replay "$work/long" | grep '^hash:')
t=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
echo "linux   $t s  $(rate "$t")  $hash"
export WINEPREFIX=${WINEPREFIX:-$ORBEL2_CACHE/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine build/windows/orbel2.exe --version >/dev/null   # Wine's own start-up, not timed
start=$(date +%s.%N)
hash=$(wine build/windows/orbel2.exe --replay "$work/long" | tr -d '\r' | grep '^hash:')
t=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
echo "windows $t s  $(rate "$t")  $hash  (under Wine, its process start included)"
python3 -m http.server --bind 127.0.0.1 --directory "${WEB_DIR:-build/web}" 8765 >/dev/null 2>&1 &
server=$!
sleep 1
read -r _ t _ hash < <(NODE_PATH=$ORBEL2_CACHE/node/node_modules node "$PORTS_DIR/replay-speed.cjs" \
    http://127.0.0.1:8765/orbel2.html "$work/long")
echo "web     $t s  $(rate "$t")  $hash"
