#!/usr/bin/env bash
# End-to-end test of the web build in headless Chromium: builds orbel2.html
# (tools/ports/build-web.sh), serves it on 127.0.0.1, and lets
# tools/e2e-web.cjs drive it as a person would (keys typed into the canvas,
# the page's buttons). Then checks the canvas screenshots by their pixels,
# the focus, the canvas size, the log, the recording downloaded with the
# page's button, the end of the session and the restart; and replays: the
# downloaded recording on Linux (orbel2 --replay) and in the page must give
# the same hash and player, and so must a recording made on Linux loaded
# with the page's file field.
# Usage: tools/e2e-web.sh [linux-orbel2] [artefact-directory]
#   linux-orbel2 defaults to build/release/orbel2 (built when missing);
#   screenshots, facts and recordings go to build/e2e-web.
# Prints one line per check and "e2e-web: N passed, M failed"; when a tool
# it needs cannot be installed it says so in one line and fails.
# shellcheck disable=SC2016
set -euo pipefail
here=$(dirname "$(realpath "$0")")
repo=$(dirname "$here")
. "$here/ports/common.sh"
NEED_WHO=e2e-web
. "$here/ports/need.sh"
need emcc emscripten
need node nodejs
need npm npm
need chromium chromium
need python3 python3
need convert imagemagick
need cmake cmake ninja-build
[ -e /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf ] || need fc-list fonts-liberation

node_modules=$ORBEL2_CACHE/node/node_modules
if [[ ! -d $node_modules/playwright-core ]]; then
    mkdir -p "$ORBEL2_CACHE/node"
    (cd "$ORBEL2_CACHE/node" && { [ -f package.json ] || echo '{"name":"orbel2-web-test","private":true}' > package.json; } &&
        npm install --no-audit --no-fund -q playwright-core >/dev/null 2>&1) ||
        { echo "e2e-web: FAILED: playwright-core could not be installed from npm"; exit 1; }
fi
linux=${1:-$repo/build/release/orbel2}
ARTEFACTS=$(realpath -m "${2:-$repo/build/e2e-web}")
mkdir -p "$ARTEFACTS"
rm -f "$ARTEFACTS"/*.png "$ARTEFACTS"/facts.json "$ARTEFACTS"/run1* "$ARTEFACTS"/drive
if [[ ! -x "$linux" ]]; then
    (cd "$repo" && cmake --preset release >/dev/null && cmake --build --preset release -j 2 --target orbel2 >/dev/null) ||
        { echo "e2e-web: FAILED: could not build the Linux orbel2 for the replays"; exit 1; }
fi
linux=$(realpath "$linux")
html=$("$here/ports/build-web.sh" 2>"$ARTEFACTS.build.log" | tail -n 1) ||
    { echo "e2e-web: FAILED: the web build failed (see $ARTEFACTS.build.log)"; tail -n 5 "$ARTEFACTS.build.log"; exit 1; }

set +e
source "$here/e2e/pixels.sh"
source "$here/e2e/drive.sh"
work=$(mktemp -d)
MASKS=$work/masks
mkdir -p "$MASKS"
started=$(date +%s)
server=
cleanup() {
    [[ -n $server ]] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A static server on a free loopback port.
python3 - "$(dirname "$html")" "$work/port" <<'PY' &
import functools, http.server, sys
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
handler = functools.partial(Quiet, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
open(sys.argv[2], "w").write(str(server.server_address[1]))
server.serve_forever()
PY
server=$!
for _ in $(seq 50); do [[ -s $work/port ]] && break; sleep 0.1; done

# A recording made here: the drive of tools/e2e-windows.sh.
python3 - "$work/drive" <<'PY'
import struct, sys
keys = [4] * 150 + [6] * 40 + [4] * 200 + [5] * 60 + [8] * 90 + [0] * 100 + [4] * 300
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<3f", 0.0, 0.0, 0.0))
    for step, k in enumerate(keys):
        out.write(struct.pack("<2I", step, k))
PY
cp "$work/drive" "$ARTEFACTS/"
NODE_PATH=$node_modules timeout 300 node "$here/e2e-web.cjs" "http://127.0.0.1:$(cat "$work/port")/orbel2.html" \
    "$ARTEFACTS" "$work/drive" > "$ARTEFACTS/driver.txt" 2>&1
# What a replay says of the world: records, steps, player and hash (the
# checkpoints line names the file's path, which differs between the two).
world() { grep -E '^(records|steps|player|hash):'; }
fact() { node -e 'const f = require(process.argv[1]); const v = f[process.argv[2]]; console.log(typeof v === "object" ? JSON.stringify(v) : String(v));' "$ARTEFACTS/facts.json" "$1"; }
if [[ ! -s $ARTEFACTS/facts.json || -n $(fact error | grep -v '^undefined$') ]]; then
    echo "FAILED: the browser run did not finish: $(fact error | head -n 3)"
    cat "$ARTEFACTS/driver.txt"
    echo "e2e-web: 0 passed, 1 failed"
    exit 1
fi
for png in "$ARTEFACTS"/*.png; do make_masks "$png"; done
WIN=640x480+0+0
console_layout 640 480 0.5

DETAIL="$(fact loadMs) ms"
expect "load: the page runs the demo" true
DETAIL="$(fact focusedOnLoad) on load, $(fact focusAfterField) after the name field, $(fact focusAfterClick) after a click"
expect "focus: the canvas has it on load and after a click" \
    eval '[[ $(fact focusedOnLoad) == canvas && $(fact focusAfterField) == recordingName && $(fact focusAfterClick) == canvas ]]'
DETAIL="$(fact canvasSize), then $(fact canvasSizeAfterVidSize)"
expect "canvas: 640 x 480 at start, 800 x 600 after vid_size 800 600" \
    eval '[[ $(fact canvasSize) == "[640,480]" && $(fact canvasSizeAfterVidSize) == "[800,600]" ]]'
read -r x0 y0 x1 y1 <<<"$(bbox 01-start red "$WIN")"
DETAIL="red pixels at $x0,$y0 .. $x1,$y1"
expect "start: a quarter of the red player in the top-left corner" \
    eval '((x0 == 0 && y0 == 0 && x1 >= 13 && x1 <= 18 && y1 >= 5 && y1 <= 9))'
DETAIL="$(rows_with_text 01-start) of $ROWS rows"
expect "start: the console's output lines are drawn (bundled fonts)" within "${DETAIL%% *}" 6 "$ROWS"
read -r wx0 wy0 wx1 wy1 <<<"$(bbox 01-start watch "$WIN")"
DETAIL="watch pixels at $wx0,$wy0 .. $wx1,$wy1"
expect "start: three watches at the top right" eval 'within "$wx1" 600 608 && within "$wy0" 24 32 && within "$wy1" 60 81'
n_prompt=$(count 01-start text "$(row_region 0)")
n_typed=$(count 02-typed text "$(row_region 0)")
DETAIL="$n_prompt -> $n_typed text pixels"
expect "typing into the canvas: the words appear on the edit line" test "$n_typed" -gt $((n_prompt + 50))
expect "Enter: the edit line is empty again" same_text 01-start "$(row_region 0)" 03-enter "$(row_region 0)"
DETAIL="$(differ 01-start red "$WIN" 40-drive-start "$WIN") red pixels differ from the start"
expect "record: the console hidden, the player still in the corner" test "${DETAIL%% *}" -le 4
read -r x0 y0 x1 y1 <<<"$(bbox 42-up red "$WIN")"
n=$(count 42-up red "$WIN")
DETAIL="$n red pixels at $x0,$y0 .. $x1,$y1"
expect "Right, Up: the player turns and drives into view, whole" eval 'within "$n" 350 700 && ((x0 >= 4 && y0 >= 4))'

size=$(stat -c %s "$ARTEFACTS/run1" 2>/dev/null || echo 0)
keys=$(od -An -v -tu4 -w8 -j12 "$ARTEFACTS/run1" | awk '$2 != 0 && $2 != last { printf "%s ", $2 } { last = $2 }')
DETAIL="$size bytes, keys $keys"
expect "download: run1 is 12 + 8k bytes holding Right, Up, Left, Down" \
    eval '((size > 12 + 8 * 100 && (size - 12) % 8 == 0)) && [[ $keys == "2 4 1 8 " ]]'
cp "$ARTEFACTS/run1" "$work/run1-moves"
on_linux=$("$linux" --replay "$work/run1-moves" 2>&1 | world)
in_browser=$(fact replayRun1 | world)
DETAIL="$(grep '^hash:' <<<"$on_linux") on Linux, $(grep '^hash:' <<<"$in_browser") in the browser"
expect "replay: the browser's recording gives the same hash and player on Linux" \
    eval '[[ -n $on_linux && $on_linux == "$in_browser" ]] && grep -q "^hash: 0x" <<<"$on_linux"'
# The downloaded recording with its starting world and checksums, replayed
# on Linux: the world the live "hash" showed in the page, at its step,
# every checkpoint matched.
expect "hash: the live hash line is drawn under its command" has_text 45-hash "$(row_region 1)"
live=$(fact log | tr -d '\r' | sed -n -E 's/^\[[0-9:]*\] (hash at step [0-9]+: 0x[0-9A-F]{16})$/\1/p' | tail -n 1)
mkdir -p "$work/live"
cp "$ARTEFACTS/run1" "$ARTEFACTS/run1.state" "$ARTEFACTS/run1.sum" "$work/live/" 2>/dev/null || true
replay_live=$(cd "$work/live" && "$linux" --replay run1 2>&1)
replayed="hash at step $(sed -n 's/^steps: //p' <<<"$replay_live"): $(sed -n 's/^hash: //p' <<<"$replay_live")"
DETAIL="live '$live', replayed '$replayed', $(grep '^checkpoints:' <<<"$replay_live")"
expect "hash: run1 downloaded from the page replays on Linux to the hash the page showed, at its step" \
    eval '[[ -n $live && $live == "$replayed" ]] && grep -q -E "^checkpoints: [1-9][0-9]* matched in run1.sum$" <<<"$replay_live"'
on_linux=$("$linux" --replay "$work/drive" 2>&1 | world)
in_browser=$(fact replayLoaded | world)
DETAIL="$(grep '^hash:' <<<"$on_linux") on Linux, $(grep '^hash:' <<<"$in_browser") in the browser; $(fact loadStatus)"
expect "load: a recording made on Linux, loaded by the page, gives the same hash and player" \
    eval '[[ -n $on_linux && $on_linux == "$in_browser" ]] && grep -q "^hash: 0x" <<<"$on_linux"'

fact log > "$ARTEFACTS/orbel2.log"
expect "log: first line 'Orbel2 Initialized'" eval "head -n 1 '$ARTEFACTS/orbel2.log' | grep -q '^\[[0-9:]*\] Orbel2 Initialized'"
expect "log: last line 'Orbel2 Finalizing'" eval "grep -v '^\$' '$ARTEFACTS/orbel2.log' | tail -n 1 | grep -q '^\[[0-9:]*\] Orbel2 Finalizing'"
expect "write: 'Usermessage: hello web' in the log" grep -q '^Usermessage: hello web \[' "$ARTEFACTS/orbel2.log"
DETAIL="$(fact statusAfterEscape)"
expect "Escape: the session ends and the page says so, offering to start again" \
    eval '[[ $(fact runningAfterEscape) == 0 && $(fact restartShown) == true && $(fact statusAfterEscape) == *"has ended"* ]]'
read -r x0 y0 x1 y1 <<<"$(bbox 60-restarted red "$WIN")"
DETAIL="running $(fact runningAfterRestart), red pixels at $x0,$y0 .. $x1,$y1"
expect "Start again: a new session, the player back in the corner" \
    eval '[[ $(fact runningAfterRestart) == 1 ]] && ((x0 == 0 && y0 == 0 && x1 <= 18 && y1 <= 9))'
echo "e2e-web: frame interval in the page: $(fact frameTiming)"
echo "e2e-web: $(($(date +%s) - started)) s; screenshots, facts and recordings in $ARTEFACTS"
echo "e2e-web: $PASSED passed, $FAILED failed"
((FAILED == 0))
