#!/usr/bin/env bash
# End-to-end test of the Windows build as a person would use it: builds
# orbel2.exe (tools/ports/build-windows.sh), runs it under Wine in a virtual
# X server, types console commands and drives the player with xdotool,
# records, quits with Escape, and checks the screenshots by their pixels,
# the log and the recording. The recording is then replayed on Linux
# (orbel2 --replay) and under Wine: both must print the same world hash and
# player; so must a recording made here, replayed on both.
# Usage: tools/e2e-windows.sh [linux-orbel2] [artefact-directory]
#   linux-orbel2 defaults to build/release/orbel2 (built when missing);
#   screenshots, log and recordings go to build/e2e-windows.
# Prints one line per check and "e2e-windows: N passed, M failed"; when a
# tool it needs cannot be installed it says so in one line and fails.
# shellcheck disable=SC2016
set -euo pipefail
here=$(dirname "$(realpath "$0")")
repo=$(dirname "$here")

if [[ "${1:-}" != "--inside-x" ]]; then
    NEED_WHO=e2e-windows
    . "$here/ports/need.sh"
    need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
    need wine wine wine64
    need xvfb-run xvfb xauth
    need xdotool xdotool
    need import imagemagick
    need zip zip
    need cmake cmake ninja-build
    [ -e /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf ] || need fc-list fonts-liberation
    linux=${1:-$repo/build/release/orbel2}
    artefacts=$(realpath -m "${2:-$repo/build/e2e-windows}")
    if [[ ! -x "$linux" ]]; then
        (cd "$repo" && cmake --preset release >/dev/null && cmake --build --preset release -j 2 --target orbel2 >/dev/null) ||
            { echo "e2e-windows: FAILED: could not build the Linux orbel2 for the replays"; exit 1; }
    fi
    mkdir -p "$artefacts"
    exe=$("$here/ports/build-windows.sh" 2>"$artefacts.build.log" | tail -n 1) ||
        { echo "e2e-windows: FAILED: the Windows build failed (see $artefacts.build.log)"; tail -n 5 "$artefacts.build.log"; exit 1; }
    rm -f "$artefacts"/*.png "$artefacts"/orbel2.log "$artefacts"/run1 "$artefacts"/drive
    . "$here/ports/common.sh"
    export WINEPREFIX=${WINEPREFIX:-$ORBEL2_CACHE/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        mkdir -p "$WINEPREFIX"
        xvfb-run -a wineboot -i >/dev/null 2>&1 || { echo "e2e-windows: FAILED: wineboot -i failed"; exit 1; }
    fi
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-x "$exe" "$(realpath "$linux")" "$artefacts"
fi

exe=$2
linux=$3
ARTEFACTS=$4
set +e
source "$here/e2e/pixels.sh"
source "$here/e2e/drive.sh"
work=$(mktemp -d)
MASKS=$work/masks
mkdir -p "$MASKS"
cp "$exe" "$work/" && cp -r "$(dirname "$exe")/fonts" "$work/"
cd "$work"
started=$(date +%s)

version=$(wine ./orbel2.exe --version 2>&1 | tr -d '\r')
DETAIL=$version
expect "console output: --version prints to the terminal" eval '[[ $version == "orbel2 "[0-9]* ]]'

wine ./orbel2.exe > stdout.txt 2> stderr.txt &
PROGRAM_PID=$!
cleanup() {
    kill "$PROGRAM_PID" 2>/dev/null
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Wine's windows belong to its own processes: the window is found by class.
find_window() {
    WINDOW=$(timeout 30 xdotool search --sync --onlyvisible --classname orbel2.exe 2>/dev/null | tail -n 1 || true)
    [[ -n $WINDOW ]]
}
if ! find_window; then
    echo "FAILED: the program opened no window"
    cat stderr.txt
    echo "e2e-windows: 0 passed, 1 failed"
    exit 1
fi
sleep 2
focus
xdotool mousemove 320 240 click 1
sleep 0.5
WIN=640x480+0+0
console_layout 640 480 0.5

read -r gw gh gx gy <<<"$(window_geometry)"
DETAIL="${gw}x${gh} at $gx,$gy"
expect "start: a 640 x 480 window at (0, 0)" test "$gw $gh $gx $gy" = "640 480 0 0"
shot 01-start "$WIN"
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
type_text "write hello windows"
shot 02-typed "$WIN"
n_typed=$(count 02-typed text "$(row_region 0)")
DETAIL="$n_prompt -> $n_typed text pixels"
expect "typing: the words appear on the edit line" test "$n_typed" -gt $((n_prompt + 50))
xdotool key Return
sleep 0.4
shot 03-enter "$WIN"
expect "Enter: the edit line is empty again" same_text 01-start "$(row_region 0)" 03-enter "$(row_region 0)"

run_line "vid_info"
shot 04-vid-info "$WIN"
run_line "set playspeed 1"
run_line "record run1"
key Home
sleep 0.3
shot 40-drive-start "$WIN"
DETAIL="$(differ 01-start red "$WIN" 40-drive-start "$WIN") red pixels differ from the start"
expect "record: the console hidden, the player still in the corner" test "${DETAIL%% *}" -le 4
hold Right 0.08
sleep 0.6
hold Up 0.4
sleep 1.6
shot 42-up "$WIN"
read -r x0 y0 x1 y1 <<<"$(bbox 42-up red "$WIN")"
n=$(count 42-up red "$WIN")
DETAIL="$n red pixels at $x0,$y0 .. $x1,$y1"
expect "Right, Up: the player turns and drives into view, whole" eval 'within "$n" 350 700 && ((x0 >= 4 && y0 >= 4))'
hold Left 0.08
sleep 0.4
hold Down 0.2
sleep 1.5
shot 44-down "$WIN"
# The world stopped, then its hash asked for: the console shows it and the
# log keeps it, to compare with the replay of the recording on Linux.
key Home
run_line "set playspeed 0"
run_line "hash"
shot 45-hash "$WIN"
expect "hash: the live hash line is drawn under its command" has_text 45-hash "$(row_region 1)"
key Home

key Escape
status=0
for _ in $(seq 100); do
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
done
wait "$PROGRAM_PID" || status=$?
cp orbel2.log stdout.txt stderr.txt run1 run1.sum run1.state "$ARTEFACTS/" 2>/dev/null
DETAIL="status $status"
expect "Escape: the program ends with status 0" test "$status" -eq 0
log=orbel2.log
expect "log: first line 'Orbel2 Initialized'" eval "head -n 1 $log | tr -d '\r' | grep -q '^\[[0-9:]*\] Orbel2 Initialized'"
expect "log: last line 'Orbel2 Finalizing'" eval "tail -n 1 $log | tr -d '\r' | grep -q '^\[[0-9:]*\] Orbel2 Finalizing'"
expect "write: 'Usermessage: hello windows' in the log" grep -q '^Usermessage: hello windows \[' "$log"
size=$(stat -c %s run1 2>/dev/null || echo 0)
keys=$(od -An -v -tu4 -w8 -j12 run1 | awk '$2 != 0 && $2 != last { printf "%s ", $2 } { last = $2 }')
DETAIL="$size bytes, keys $keys"
expect "record: run1 is 12 + 8k bytes holding Right, Up, Left, Down" \
    eval '((size > 12 + 8 * 100 && (size - 12) % 8 == 0)) && [[ $keys == "2 4 1 8 " ]]'

# The recording, with the checksums and the starting world written beside
# it, replayed on Linux: the world the live "hash" showed on Windows, at
# its step, every checkpoint matched; and the same replay under Wine.
live=$(tr -d '\r' < "$log" | sed -n -E 's/^\[[0-9:]*\] (hash at step [0-9]+: 0x[0-9A-F]{16})$/\1/p' | tail -n 1)
on_linux=$("$linux" --replay run1 2>&1)
replayed="hash at step $(sed -n 's/^steps: //p' <<<"$on_linux"): $(sed -n 's/^hash: //p' <<<"$on_linux")"
DETAIL="live '$live', replayed '$replayed', $(grep '^checkpoints:' <<<"$on_linux")"
expect "hash: run1 replays on Linux to the hash the live Windows run showed, at its step" \
    eval '[[ -n $live && $live == "$replayed" ]] && grep -q -E "^checkpoints: [1-9][0-9]* matched in run1.sum$" <<<"$on_linux"'
on_windows=$(wine ./orbel2.exe --replay run1 2>&1 | tr -d '\r')
printf '%s\n' "$on_linux" > "$ARTEFACTS/replay-run1-linux.txt"
printf '%s\n' "$on_windows" > "$ARTEFACTS/replay-run1-windows.txt"
DETAIL="$(grep '^hash:' <<<"$on_linux") on Linux, $(grep '^hash:' <<<"$on_windows") on Windows"
expect "replay: the Windows recording gives the same hash and player on Linux" \
    eval '[[ -n $on_linux && $on_linux == "$on_windows" ]] && grep -q "^hash: 0x" <<<"$on_linux"'
# A recording written here (three floats of start, then step and keys
# words): a long drive through the boxes, so that collisions count too.
python3 - drive <<'PY'
import struct, sys
keys = [4] * 150 + [6] * 40 + [4] * 200 + [5] * 60 + [8] * 90 + [0] * 100 + [4] * 300
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<3f", 0.0, 0.0, 0.0))
    for step, k in enumerate(keys):
        out.write(struct.pack("<2I", step, k))
PY
on_linux=$("$linux" --replay drive 2>&1)
on_windows=$(wine ./orbel2.exe --replay drive 2>&1 | tr -d '\r')
cp drive "$ARTEFACTS/"
DETAIL="$(grep '^hash:' <<<"$on_linux")"
expect "replay: a recording made on Linux gives the same hash and player on Windows" \
    eval '[[ -n $on_linux && $on_linux == "$on_windows" ]] && grep -q "^hash: 0x" <<<"$on_linux"'

echo "e2e-windows: $(($(date +%s) - started)) s; screenshots, log and recordings in $ARTEFACTS"
echo "e2e-windows: $PASSED passed, $FAILED failed"
((FAILED == 0))
