#!/usr/bin/env bash
# End-to-end test of the demo as a person sees it: starts orbel2 in a virtual
# X server (1280 x 1024, no window manager), presses every key and runs every
# console command with xdotool, and checks the screenshots by their pixels
# (ImageMagick) as well as the exit status, the log and the recording.
#
# The checks never depend on a particular font: they look for text pixels
# where text belongs, and compare two drawings of the same text with each
# other (the edit line after Tab with the edit line after typing the whole
# word, an error line with the echo of the same words typed as a line).
#
# Usage: tools/e2e-test.sh path/to/orbel2 [artefact-directory [path/to/sanitized/orbel2]]
# Every screenshot is kept in the artefact directory (build/e2e unless
# given), fullscreen.png among them; the log, stderr and the recording too.
# After it, the program is started twice more for the world's state: a
# recording begun mid-game, the rewind key, "hash", --replay and play to the
# recording's end (tools/e2e/state.sh).
# Given the sanitizer build too (build/asan/orbel2), it runs that through a
# short session after the main run (tools/e2e/sanitized.sh): a sanitizer
# report or a status other than 0 fails the test.
# Prints one "ok:" or "FAILED:" line per check, then "e2e: N passed, M failed";
# the exit status is non-zero when a check failed.
# The checks hand their conditions to eval in single quotes, to be expanded
# when they run.
# shellcheck disable=SC2016
set -euo pipefail

here=$(dirname "$(realpath "$0")")

if [[ "${1:-}" != "--inside-x" ]]; then
  if [[ $# -lt 1 || $# -gt 3 || "$1" == -* || ! -x "$1" || ($# -eq 3 && ! -x "$3") ]]; then
    echo "usage: $0 path/to/orbel2 [artefact-directory [path/to/sanitized/orbel2]]" >&2
    exit 2
  fi
  program=$(realpath "$1")
  artefacts=$(realpath -m "${2:-build/e2e}")
  sanitized=
  if [[ $# -eq 3 ]]; then
    sanitized=$(realpath "$3")
  fi
  mkdir -p "$artefacts"
  # Only what an earlier run left: the directory may hold other files.
  rm -f "$artefacts"/[0-9][0-9]*-*.png "$artefacts"/fullscreen*.png "$artefacts"/orbel2.log \
    "$artefacts"/stdout.txt "$artefacts"/stderr.txt "$artefacts"/run1 "$artefacts"/park "$artefacts"/turning \
    "$artefacts"/sanitized-stderr.txt
  rm -rf "$artefacts"/state
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-x "$program" "$artefacts" "$sanitized"
fi

program=$2
ARTEFACTS=$3
SANITIZED=${4:-}
# A measurement that goes wrong fails its check; it does not end the run.
set +e
source "$here/e2e/pixels.sh"
source "$here/e2e/drive.sh"
source "$here/e2e/sanitized.sh"
source "$here/e2e/state.sh"

work=$(mktemp -d)
MASKS=$work/masks
mkdir -p "$MASKS"
cd "$work"
started=$(date +%s)

"$program" > stdout.txt 2> stderr.txt &
PROGRAM_PID=$!
cleanup() {
  kill "$PROGRAM_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

if ! find_window; then
  echo "FAILED: the program opened no window"
  cat stderr.txt
  echo "e2e: 0 passed, 1 failed"
  exit 1
fi
sleep 1
focus

# centre_of SHOT: the centre of the player's red pixels in the window, "x y".
centre_of() {
  local x0 y0 x1 y1
  read -r x0 y0 x1 y1 <<<"$(bbox "$1" red "$WIN")"
  echo "$(((x0 + x1) / 2)) $(((y0 + y1) / 2))"
}

# distance "x y" "x y": in whole pixels.
distance() {
  awk -v a="$1" -v b="$2" 'BEGIN { split(a, p, " "); split(b, q, " "); printf "%d\n", sqrt((p[1] - q[1]) ^ 2 + (p[2] - q[2]) ^ 2) }'
}

SCREEN=1280x1024+0+0
WIN=640x480+0+0
console_layout 640 480 0.5

# ---------------------------------------------------------------------------
# Start: a 640 x 480 window, the console shown over the scene.
read -r gw gh gx gy <<<"$(window_geometry)"
DETAIL="${gw}x${gh} at $gx,$gy"
expect "start: a 640 x 480 window at (0, 0)" test "$gw $gh $gx $gy" = "640 480 0 0"
# Task bars show its title and group it with orbel2.desktop by its class.
DETAIL="\"$(xdotool getwindowname "$WINDOW")\""
expect "start: the window is titled \"Orbel2\"" test "$(xdotool getwindowname "$WINDOW")" = "Orbel2"
expect "start: its X11 class is orbel2, the desktop entry's StartupWMClass" \
  eval 'xdotool search --class "^orbel2\$" | grep -q -x "$WINDOW"'

shot 01-start "$WIN"
# The player is centred on the scene's top-left corner: a quarter of its
# 32 x 16 pixels (40 x 20 at 0.8) shows.
read -r x0 y0 x1 y1 <<<"$(bbox 01-start red "$WIN")"
DETAIL="red pixels at $x0,$y0 .. $x1,$y1"
expect "start: a quarter of the red player in the top-left corner" \
  eval '((x0 == 0 && y0 == 0 && x1 >= 13 && x1 <= 18 && y1 >= 5 && y1 <= 9))'
DETAIL="$(rows_with_text 01-start) of $ROWS rows"
expect "start: the console's output lines are drawn" within "${DETAIL%% *}" 6 "$ROWS"
expect "start: the edit line's prompt is drawn" has_text 01-start "$(row_region 0)"
read -r wx0 wy0 wx1 wy1 <<<"$(bbox 01-start watch "$WIN")"
watch_pixels_start=$(count 01-start watch "$WIN")
DETAIL="watch pixels at $wx0,$wy0 .. $wx1,$wy1"
# Right-aligned at 0.95 x 640 = 608, the first row's top at 0.05 x 480 = 24,
# three rows 19 pixels apart.
expect "start: three watches at the top right" \
  eval 'within "$wx1" 600 608 && within "$wy0" 24 32 && within "$wy1" 60 81'
# Box 5 (virtual x 300, y 100: pixels 232..264, 64..96) seen through the
# console's background.
box5="16x16+232+72"
grey_shown=$(mean_grey "$ARTEFACTS/01-start.png" "$box5")
DETAIL="box brightness $grey_shown"
expect "start: the boxes show through the console's darkened background" within "$grey_shown" 0.25 0.8

# ---------------------------------------------------------------------------
# Console keys: typing, Backspace, Enter.
type_text "write hello e2e"
shot 02-typed "$WIN"
n_typed=$(count 02-typed text "$(row_region 0)")
n_prompt=$(count 01-start text "$(row_region 0)")
DETAIL="$n_prompt text pixels before, $n_typed after"
expect "typing: the words appear on the edit line" test "$n_typed" -gt $((n_prompt + 50))
type_text "zz"
shot 03-typed-more "$WIN"
expect "typing: two more letters change the edit line" eval '! same_text 02-typed "$(row_region 0)" 03-typed-more "$(row_region 0)"'
key BackSpace BackSpace
shot 04-backspace "$WIN"
expect "Backspace: two presses give back the edit line as it was" \
  same_text 02-typed "$(row_region 0)" 04-backspace "$(row_region 0)"
key Return
shot 05-enter "$WIN"
expect "Enter: the edit line is empty again" same_text 01-start "$(row_region 0)" 05-enter "$(row_region 0)"
s=$(scrolled_rows 01-start 05-enter)
DETAIL="output moved up $s rows"
expect "Enter: the line is echoed above the edit line" test "$s" = 1

# Tab: one match completes the word on the edit line.
type_text "vid_i"
shot 06-vid_i "$WIN"
key Tab
shot 07-tab "$WIN"
key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
type_text "vid_info"
shot 08-vid_info-typed "$WIN"
expect "Tab: 'vid_i' completes to the edit line typed as 'vid_info'" \
  same_text 07-tab "$(row_region 0)" 08-vid_info-typed "$(row_region 0)"
expect "Tab: the completed edit line differs from 'vid_i'" \
  eval '! same_text 06-vid_i "$(row_region 0)" 07-tab "$(row_region 0)"'

# vid_info: its lines on screen under its echo.
key Return
shot 09-vid_info "$WIN"
s=$(scrolled_rows 08-vid_info-typed 09-vid_info)
DETAIL="output moved up $s rows"
expect "vid_info: several lines of output under the echo" eval '[[ $s != none ]] && ((s >= 4))'

# The arrow keys reach the game as well as the console's history: with the
# world frozen the player stays put while Up and Down browse.
type_text "set playspeed 0"
shot 09b-playspeed-typed "$WIN"
key Return

# Tab with several matches lists them; the listing draws as the same words
# typed and echoed do.
type_text "vid"
key Tab
shot 10-tab-matches "$WIN"
key BackSpace BackSpace BackSpace
type_text "Matches: vid_size  vid_info  "
shot 11-matches-typed "$WIN"
key Return
shot 12-matches-echo "$WIN"
expect "Tab: 'vid' lists 'Matches: vid_size  vid_info  ' above the edit line" same_rows 10-tab-matches 1 12-matches-echo 2

# History: Up recalls the newest line first, Down goes back towards the
# empty edit line.
key Up
shot 13-history-up "$WIN"
expect "Up: recalls the last line run" same_rows 11-matches-typed 0 13-history-up 0
key Up
shot 14-history-up2 "$WIN"
expect "Up again: recalls the line before it" same_rows 09b-playspeed-typed 0 14-history-up2 0
key Down
shot 15-history-down "$WIN"
expect "Down: back to the last line run" same_rows 11-matches-typed 0 15-history-down 0
key Down
shot 16-history-down2 "$WIN"
expect "Down again: the empty edit line" same_rows 01-start 0 16-history-down2 0
DETAIL="$(differ 12-matches-echo red "$WIN" 16-history-down2 "$WIN") red pixels differ"
expect "set playspeed 0: the player stays put while Up and Down browse the history" test "${DETAIL%% *}" -eq 0

# help: the commands listed, the demo's last one 'play', then the additions
# and, last, the state's four. "play" run alone is refused with its usage,
# its echo a drawing of the word alone.
run_line "help"
shot 17-help "$WIN"
DETAIL="$(rows_with_text 17-help) of $ROWS rows"
expect "help: a full console of lines" test "${DETAIL%% *}" -eq "$ROWS"
run_line "play"
shot 18-play-alone "$WIN"
expect "help: the demo's last command is 'play'" same_rows 17-help 6 18-play-alone 3
run_line "record"
shot 19-record-alone "$WIN"
expect "help: its line before is the command 'record'" same_rows 17-help 7 19-record-alone 3
run_line "graph {1/0} - Show or hide the graph of frames and steps"
shot 19b-graph-alone "$WIN"
expect "help: after them the addition, 'graph {1/0} - ...'" same_rows 17-help 5 19b-graph-alone 2
# The words after "hash" are ignored: it shows its line under the echo.
run_line "hash - Show the step count and the world's hash"
shot 19c-hash-help-typed "$WIN"
expect "help: the state's commands close the list, 'hash - ...' next to last" same_rows 17-help 2 19c-hash-help-typed 2

# vars: the variables listed, the demo's own first, then the additions.
run_line "vars"
shot 21-vars "$WIN"
DETAIL="$(rows_with_text 21-vars) of $ROWS rows"
expect "vars: a full console of lines" test "${DETAIL%% *}" -eq "$ROWS"
run_line "T (DOUBLE)"
shot 21b-T-typed "$WIN"
expect "vars: the demo's last variable is 'T (DOUBLE)'" same_rows 21-vars 6 21b-T-typed 2
run_line "graph (INT)"
shot 21c-graph-typed "$WIN"
expect "vars: after it 'maxfps', 'interpolate' and 'graph (INT)'" same_rows 21-vars 3 21c-graph-typed 1
run_line "playpause (INT)"
shot 21d-playpause-typed "$WIN"
expect "vars: then 'playpause (INT)'" same_rows 21-vars 2 21d-playpause-typed 2
run_line "physicsworkers (INT)"
shot 21e-physicsworkers-typed "$WIN"
expect "vars: last, 'physicsworkers (INT)'" same_rows 21-vars 1 21e-physicsworkers-typed 2

# set and get: the console's height.
run_line "set consoleheight 0.25"
shot 22-consoleheight-quarter "$WIN"
console_layout 640 480 0.25
quarter_edit=$(row_region 0)
console_layout 640 480 0.5
expect "set consoleheight 0.25: the edit line moves up to a quarter of the window" \
  same_text 01-start "$(row_region 0)" 22-consoleheight-quarter "$quarter_edit"
n=$(count 22-consoleheight-quarter text 640x$((240 - 125))+0+125)
DETAIL="$n text pixels below it"
expect "set consoleheight 0.25: no console text below a quarter" test "$n" -eq 0
grey_quarter=$(mean_grey "$ARTEFACTS/22-consoleheight-quarter.png" "$box5")
DETAIL="box brightness $grey_quarter, at 0.5 $grey_shown"
# The background's grading, from 0x44 to 0xDD, now ends at a quarter: the
# boxes lie in its darker part.
expect "set consoleheight 0.25: the background's darker bottom moves up over the boxes" \
  awk -v q="$grey_quarter" -v h="$grey_shown" 'BEGIN { exit !(q < h - 0.1) }'
console_layout 640 480 0.25
run_line "get consoleheight"
shot 23-get "$WIN"
run_line "consoleheight = 0.25"
shot 24-get-typed "$WIN"
expect "get consoleheight: shows 'consoleheight = 0.25'" same_rows 23-get 1 24-get-typed 2
run_line "set consoleheight 0.5"
console_layout 640 480 0.5
shot 25-consoleheight-half "$WIN"
expect "set consoleheight 0.5: the edit line back at half the window" same_rows 01-start 0 25-consoleheight-half 0

# watch: a fourth row at the top right, right-aligned with the others.
fourth_row="240x19+380+$((24 + 3 * LINE))"
run_line "watch consoleheight"
shot 26-watch "$WIN"
read -r x0 y0 x1 y1 <<<"$(bbox 26-watch watch "$fourth_row")"
DETAIL="watch pixels at $x0,$y0 .. $x1,$y1; before: $(count 01-start watch "$fourth_row") pixels"
expect "watch consoleheight: a new watch row under the three" \
  eval 'within "$x1" $((wx1 - 2)) $((wx1 + 2)) && test "$(count 01-start watch "$fourth_row")" -eq 0'
run_line "watch consoleheight 0"
shot 27-unwatch "$WIN"
DETAIL="$(count 27-unwatch watch "$fourth_row") watch pixels"
expect "watch consoleheight 0: the row goes" test "${DETAIL%% *}" -eq 0

# res: a screenful of status lines.
run_line "res"
shot 28-res "$WIN"
DETAIL="$(rows_with_text 28-res) of $ROWS rows"
expect "res: a full console of status lines" test "${DETAIL%% *}" -eq "$ROWS"
expect "res: the output differs from before" eval '! same_rows 27-unwatch 1 28-res 1 4'

# Page Up / Page Down scroll the output a line a press.
key Prior Prior Prior
shot 29-page-up "$WIN"
s=$(scrolled_rows 28-res 29-page-up)
DETAIL="output moved up $s rows"
expect "Page Up x3: the output moves down three lines" test "$s" = -3
key Next Next Next
shot 30-page-down "$WIN"
expect "Page Down x3: the output as it was" same_rows 28-res 1 30-page-down 1 "$ROWS"

# Home hides the console: no text under the box row, the boxes at full
# brightness, the watches still drawn; Home again shows it as it was.
key Home
shot 31-console-hidden "$WIN"
n=$(count 31-console-hidden text 640x$((240 - 120))+0+120)
DETAIL="$n text pixels"
expect "Home: the console's text is gone" test "$n" -eq 0
grey_hidden=$(mean_grey "$ARTEFACTS/31-console-hidden.png" "$box5")
DETAIL="box brightness $grey_hidden"
expect "Home: the boxes at full brightness" within "$grey_hidden" 0.95 1
DETAIL="$(count 31-console-hidden watch "$WIN") watch pixels, at start $watch_pixels_start"
expect "Home: the watches still drawn" within "${DETAIL%% *}" $((watch_pixels_start * 2 / 3)) $((watch_pixels_start * 2))
key Home
shot 32-console-shown "$WIN"
expect "Home again: the console as it was" same_rows 28-res 0 32-console-shown 0 "$((ROWS + 1))"

# ---------------------------------------------------------------------------
# The keys drive the player, the recording holds them and play replays it.
# Short presses keep the player clear of the boxes, so that the replay
# meets nothing the recorded run did not.
run_line "set playspeed 1"
run_line "record run1"
record_started=$(date +%s.%N)
key Home
sleep 0.3
shot 40-drive-start "$WIN"
DETAIL="$(differ 01-start red "$WIN" 40-drive-start "$WIN") red pixels differ from the start"
expect "record: the console hidden, the player still in the corner" test "${DETAIL%% *}" -le 4
hold Right 0.08
sleep 0.6
shot 41-right "$WIN"
read -r x0 y0 x1 y1 <<<"$(bbox 41-right red "$WIN")"
changed=$(differ 40-drive-start red "$WIN" 41-right "$WIN")
DETAIL="red pixels at $x0,$y0 .. $x1,$y1, $changed changed"
expect "Right: the player turns where it stands" eval '((x0 == 0 && y0 == 0 && changed > 10))'
hold Up 0.4
sleep 1.6
shot 42-up "$WIN"
read -r x0 y0 x1 y1 <<<"$(bbox 42-up red "$WIN")"
n=$(count 42-up red "$WIN")
DETAIL="$n red pixels at $x0,$y0 .. $x1,$y1"
expect "Up: the player drives into view, whole" eval 'within "$n" 350 700 && ((x0 >= 4 && y0 >= 4))'
centre_up=$(centre_of 42-up)
hold Left 0.08
sleep 0.6
shot 43-left "$WIN"
centre_left=$(centre_of 43-left)
changed=$(differ 42-up red "$WIN" 43-left "$WIN")
moved=$(distance "$centre_up" "$centre_left")
DETAIL="centre moved $moved pixels, $changed red pixels changed"
expect "Left: the player turns where it stands" eval '((moved <= 3 && changed > 20))'
hold Down 0.2
sleep 2
shot 44-down "$WIN"
centre_down=$(centre_of 44-down)
before=$(distance "$centre_left" "0 0")
after=$(distance "$centre_down" "0 0")
DETAIL="from $before to $after pixels off the corner"
expect "Down: the player backs towards where it came from" eval '((after <= before - 5))'

key Home
run_line "play run1"
recording_length=$(awk -v a="$record_started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
play_started=$(date +%s.%N)
key Home
shot 45-play-start "$WIN"
DETAIL="$(differ 40-drive-start red "$WIN" 45-play-start "$WIN") red pixels differ"
expect "play: the player back where the recording began" test "${DETAIL%% *}" -le 4
# The replay runs the recorded steps in real time: a loaded machine draws
# fewer frames, so look again for a while before calling it still.
for wait in 1 2 3 4 5 6 7 8; do
  sleep 1
  shot 46-play-later "$WIN"
  moved=$(distance "$(centre_of 45-play-start)" "$(centre_of 46-play-later)")
  changed=$(differ 45-play-start red "$WIN" 46-play-later "$WIN")
  ((moved >= 8 && changed > 50)) && break
done
DETAIL="moved $moved pixels, $changed red pixels changed, after $wait s"
expect "play: the player drives out of the corner with no key pressed" eval '((moved >= 8 && changed > 50))'
key Home

# ---------------------------------------------------------------------------
# Refused modes leave the window and everything drawn in it.
run_line "Error: OB_Video_Open: Error creating device parameters"
shot 50-error-typed "$WIN"
refused_mode() {
  local name=$1 command=$2 r found=none
  run_line "$command"
  sleep 0.5
  focus
  read -r gw gh gx gy <<<"$(window_geometry)"
  DETAIL="${gw}x${gh} at $gx,$gy"
  expect "$command: refused, the window stays 640 x 480" test "$gw $gh" = "640 480"
  shot "$name" "$WIN"
  expect "$command: the edit line still drawn" same_rows 01-start 0 "$name" 0
  for r in 1 2 3 4 5 6; do
    if same_rows 50-error-typed 2 "$name" "$r"; then
      found=$r
      break
    fi
  done
  DETAIL="found at row $found"
  expect "$command: the error line 'Error: OB_Video_Open: ...' on screen" test "$found" != none
  DETAIL="$(rows_with_text "$name") of $ROWS rows"
  expect "$command: the console's other lines still drawn" within "${DETAIL%% *}" $((ROWS - 2)) "$ROWS"
  read -r x0 y0 x1 y1 <<<"$(bbox "$name" watch "$WIN")"
  DETAIL="watch pixels at $x0,$y0 .. $x1,$y1"
  expect "$command: the watches still drawn" eval 'within "$x1" $((wx1 - 2)) $((wx1 + 2)) && within "$y0" $((wy0 - 2)) $((wy0 + 2))'
}
seconds_since() {
  awk -v s="$1" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", n - s }'
}
refused_started=$(date +%s.%N)
refused_mode 51-vid_size-0-0 "vid_size 0 0"
refused_took=$(seconds_since "$refused_started")
refused_mode 52-vid_size-100000 "vid_size 100000 100000"
# A back buffer of 1 GiB is refused as quickly as one no device can have,
# not after holding gigabytes for seconds.
refused_started=$(date +%s.%N)
refused_mode 52b-vid_size-16384 "vid_size 16384 16384"
huge_took=$(seconds_since "$refused_started")
DETAIL="its checks took $huge_took s, those of vid_size 0 0 $refused_took s"
expect "vid_size 16384 16384: refused at once" awk -v h="$huge_took" -v r="$refused_took" 'BEGIN { exit !(h < r + 2) }'
# The row of boxes, not the player: on a busy machine the keys are held
# longer and the replayed player may be out of the window by now.
n=$(count 52b-vid_size-16384 lit 640x40+0+60)
DETAIL="$n pixels lit in the row of boxes"
expect "vid_size 16384 16384: the scene still drawn" test "$n" -gt 8000

# The replay, run out and come to rest, ends where the recorded run did
# (the recording went on, keys up, until play was typed).
until awk -v s="$play_started" -v n="$(date +%s.%N)" -v l="$recording_length" 'BEGIN { exit !(n - s > l + 1) }'; do
  sleep 0.2
done
key Home
shot 53-play-end "$WIN"
key Home
moved=$(distance "$(centre_of 44-down)" "$(centre_of 53-play-end)")
changed=$(differ 44-down red "$WIN" 53-play-end "$WIN")
DETAIL="$moved pixels from the recorded run's end, $changed red pixels differ"
expect "play: the replay ends where the recorded run ended" eval '((moved <= 2 && changed <= 60))'

# ---------------------------------------------------------------------------
# vid_size to 800 x 600, then full screen and back.
run_line "vid_size 800 600"
sleep 0.5
focus
read -r gw gh gx gy <<<"$(window_geometry)"
DETAIL="${gw}x${gh} at $gx,$gy"
expect "vid_size 800 600: an 800 x 600 window at (0, 0)" test "$gw $gh $gx $gy" = "800 600 0 0"
WIN=800x600+0+0
console_layout 800 600 0.5
shot 60-800x600 "$WIN"
expect "vid_size 800 600: the edit line at half the new height" \
  same_text 01-start 300x19+0+221 60-800x600 "300x19+0+$EDIT_TOP"
read -r wx0 wy0 wx1 wy1 <<<"$(bbox 60-800x600 watch "$WIN")"
DETAIL="watch pixels at $wx0,$wy0 .. $wx1,$wy1"
expect "vid_size 800 600: the watches at the new top right" eval 'within "$wx1" 752 760 && within "$wy0" 30 38'

# A recording written by hand, with no records, puts the player at rest at
# (560, 400), turned by 0.5 radians: its header is three little-endian
# floats.
printf '\x00\x00\x0c\x44\x00\x00\xc8\x43\x00\x00\x00\x3f' > park
run_line "play park"
key Home
shot 61-800x600-scene "$WIN"
DETAIL="centre at $(centre_of 61-800x600-scene)"
expect "play of a hand-written recording: the player at (560, 400)" \
  eval 'read -r cx cy <<<"$(centre_of 61-800x600-scene)" && within "$cx" 557 563 && within "$cy" 397 403'
hold Up 0.3
sleep 0.3
shot 61b-up-during-play "$WIN"
DETAIL="$(differ 61-800x600-scene red "$WIN" 61b-up-during-play "$WIN") red pixels differ"
expect "play: the keyboard no longer drives the player" test "${DETAIL%% *}" -eq 0
key Home
run_line "help"
type_text "write drawn to scale"
shot 62-800x600-edit "$WIN"

key F11
sleep 1.5
focus
sleep 0.5
read -r gw gh gx gy <<<"$(window_geometry)"
DETAIL="${gw}x${gh} at $gx,$gy"
expect "F11: a window covering the whole 1280 x 1024 screen" test "$gw $gh $gx $gy" = "1280 1024 0 0"
shot fullscreen
DETAIL="$(count fullscreen lit 1280x32+0+0) + $(count fullscreen lit 1280x32+0+992) pixels lit"
expect "F11: black bars of 32 rows above and below the scaled picture" \
  eval 'test "$(count fullscreen lit 1280x32+0+0)" -eq 0 && test "$(count fullscreen lit 1280x32+0+992)" -eq 0'
read -r x0 y0 x1 y1 <<<"$(bbox fullscreen watch "$SCREEN")"
DETAIL="watch pixels at $x0,$y0 .. $x1,$y1; at 800 x 600 $wx0,$wy0 .. $wx1,$wy1"
# 760 x 1.6 = 1216; 32 + 30 x 1.6 = 80.
expect "F11: the watches at the scaled picture's top right" \
  eval 'within "$x1" 1205 1222 && within "$y0" $((32 + wy0 * 8 / 5 - 4)) $((32 + wy0 * 8 / 5 + 4))'
# The edit line's text, scaled by 1.6 with the picture.
read -r ex0 ey0 ex1 ey1 <<<"$(bbox 62-800x600-edit text "$(row_region 0)")"
read -r x0 y0 x1 y1 <<<"$(bbox fullscreen text 1280x40+0+$((32 + EDIT_TOP * 8 / 5 - 4)))"
DETAIL="edit line text at $x0,$y0 .. $x1,$y1; at 800 x 600 $ex0,$ey0 .. $ex1,$ey1"
expect "F11: the edit line's text scaled by 1.6 where the console's bottom is scaled" \
  eval 'within "$x0" $((ex0 * 8 / 5 - 3)) $((ex0 * 8 / 5 + 3)) && within "$x1" $((ex1 * 8 / 5 - 3)) $((ex1 * 8 / 5 + 4)) && within "$y0" $((32 + ey0 * 8 / 5 - 3)) $((32 + ey0 * 8 / 5 + 3)) && within "$y1" $((32 + ey1 * 8 / 5 - 3)) $((32 + ey1 * 8 / 5 + 4))'
grey=$(mean_grey "$ARTEFACTS/fullscreen.png" 24x24+468+180)
DETAIL="box brightness $grey"
expect "F11: the boxes show through the console's background, scaled with the picture" within "$grey" 0.25 0.8
n=$(count fullscreen text 1280x$((992 - 516))+0+516)
DETAIL="$n text pixels"
expect "F11: no console text below the console's scaled bottom (row 512)" test "$n" -eq 0
key Home
shot fullscreen-scene
grey=$(mean_grey "$ARTEFACTS/fullscreen-scene.png" 24x24+468+180)
DETAIL="box brightness $grey"
expect "F11: a box at full brightness where the scale puts it, the console hidden" within "$grey" 0.95 1
read -r d u <<<"$(scaled_region_differ 61-800x600-scene text "$WIN" fullscreen-scene 1280x960+0+32)"
DETAIL="$d of $u white pixels differ"
expect "F11: the boxes and the spring as at 800 x 600, scaled to 1280 x 960 and centred" \
  eval '((u > 5000 && d * 10 <= u))'
read -r d u <<<"$(scaled_region_differ 61-800x600-scene red "$WIN" fullscreen-scene 1280x960+0+32)"
DETAIL="$d of $u red pixels differ"
expect "F11: the player as at 800 x 600, scaled and centred" eval '((u > 300 && d * 4 <= u))'
DETAIL="$(count fullscreen-scene lit 1280x32+0+0) + $(count fullscreen-scene lit 1280x32+0+992) pixels lit"
expect "F11: the bars stay black with the console hidden" \
  eval 'test "$(count fullscreen-scene lit 1280x32+0+0)" -eq 0 && test "$(count fullscreen-scene lit 1280x32+0+992)" -eq 0'
key Home

key F11
sleep 1.5
focus
sleep 0.5
read -r gw gh gx gy <<<"$(window_geometry)"
DETAIL="${gw}x${gh} at $gx,$gy"
expect "F11 again: an 800 x 600 window at (0, 0)" test "$gw $gh $gx $gy" = "800 600 0 0"
shot 63-windowed-again "$WIN"
expect "F11 again: the edit line as before" same_rows 62-800x600-edit 0 63-windowed-again 0
read -r x0 y0 x1 y1 <<<"$(bbox 63-windowed-again watch "$WIN")"
DETAIL="watch pixels at $x0,$y0 .. $x1,$y1"
expect "F11 again: the watches as before" eval 'within "$x1" $((wx1 - 2)) $((wx1 + 2)) && within "$y0" $((wy0 - 2)) $((wy0 + 2))'
DETAIL="$(differ 61-800x600-scene red "$WIN" 63-windowed-again "$WIN") red pixels differ"
expect "F11 again: the player where it was" test "${DETAIL%% *}" -le 4

# ---------------------------------------------------------------------------
# The fixed step made visible: ten frames a second, the scene drawn between
# its last two steps, the live graph of frames and steps. The edit line
# still holds the unrun words typed above.
for _ in $(seq 20); do
  xdotool key BackSpace
done
run_line "set maxfps 10"
run_line "set interpolate 1"
run_line "graph 1"
run_line "record turning"
sleep 2
key Home
xdotool keydown Right
sleep 1.5
shot 70-maxfps10-interpolate1 "$WIN"
xdotool keyup Right
colour_mask 70-maxfps10-interpolate1 column "#40A040"
colour_mask 70-maxfps10-interpolate1 mark "#FFE040"
strip=800x120+0+480
read -r x0 y0 x1 y1 <<<"$(bbox 70-maxfps10-interpolate1 column "$strip")"
base=$((y1 + 1))
# The newest ten columns, three pixels wide, from 70 rows above the base.
newest="30x70+$((x1 - 29))+$((base - 70))"
n=$(($(count 70-maxfps10-interpolate1 column "$newest") + $(count 70-maxfps10-interpolate1 mark "$newest")))
DETAIL="$n column pixels in the newest ten columns, the graph's base at row $base, its right end at $x1"
# 0.1 s is 50 rows; the scale line at 1/60 s crosses each column once.
expect "maxfps 10: the graph's newest columns are a tenth of a second tall" \
  eval 'within "$n" $((10 * 3 * 46)) $((10 * 3 * 53)) && within "$base" 570 590'
runs=$(row_runs 70-maxfps10-interpolate1 mark "$newest")
DETAIL="$runs rows of marks"
expect "maxfps 10: five steps a frame, five marks on each column" within "$runs" 5 6
key Home
run_line "set interpolate 0"
key Home
xdotool keydown Right
sleep 1.5
shot 71-maxfps10-interpolate0 "$WIN"
xdotool keyup Right
key Home

# The line of figures under the graph, against the same words typed and
# echoed on the console in the same font and colour. No two frames begin
# closer than a tenth of a second, and sleeps end a little late: on a busy
# machine the rate reads 9.9.
figures_read() {
  local rate=$1 name=$2 x0 y0 x1 y1
  run_line "$rate fps   50.0 steps/s"
  shot "$name" "$WIN"
  read -r x0 y0 x1 y1 <<<"$(bbox "$name" text "$(row_region 2)")"
  same_text "$name" "$((x1 + 4))x${LINE}+0+$((EDIT_TOP - 2 * LINE))" "$name" "$((x1 + 4))x${LINE}+0+$((600 - 4 - 16))"
}
expect "graph: the figures read '10.0 fps   50.0 steps/s' (or 9.9) at ten frames a second" \
  eval 'figures_read 10.0 72-graph-figures || figures_read 9.9 72b-graph-figures'

# Stopped between two steps while the player turns, the world is drawn at
# the step before with "interpolate" (the leftover time is below zero) and
# at the step now without: the player is drawn turned one step less.
run_line "set interpolate 1"
xdotool keydown Right
sleep 1
type_text "set playspeed -1"
xdotool key Return
sleep 0.3
xdotool keyup Right
sleep 0.3
shot 73-stopped-interpolate1 "$WIN"
run_line "set interpolate 0"
shot 74-stopped-interpolate0 "$WIN"
run_line "set interpolate 1"
shot 75-stopped-interpolate1-again "$WIN"
d=$(differ 73-stopped-interpolate1 red "$WIN" 74-stopped-interpolate0 "$WIN")
again=$(differ 73-stopped-interpolate1 red "$WIN" 75-stopped-interpolate1-again "$WIN")
DETAIL="$d red pixels differ, $again drawn again"
expect "interpolate: a stopped world is drawn a step back with it, as it is without" \
  eval '((d > 15 && again == 0))'
run_line "graph 0"
shot 76-graph-hidden "$WIN"
colour_mask 76-graph-hidden column "#40A040"
DETAIL="$(count 76-graph-hidden column "$strip") column pixels"
expect "graph 0: the graph is gone" test "${DETAIL%% *}" -eq 0
for line in "set maxfps 0" "set interpolate 0" "set playspeed 1"; do
  run_line "$line"
done

# ---------------------------------------------------------------------------
# Escape quits; the log and the recording.
key Escape
status=0
for _ in $(seq 50); do
  kill -0 "$PROGRAM_PID" 2>/dev/null || break
  sleep 0.1
done
wait "$PROGRAM_PID" || status=$?
cp orbel2.log stdout.txt stderr.txt "$ARTEFACTS/" 2>/dev/null || true
cp run1 park turning "$ARTEFACTS/" 2>/dev/null || true

DETAIL="status $status"
expect "Escape: the program ends with status 0" test "$status" -eq 0
DETAIL="$(wc -c < stderr.txt) bytes"
expect "Escape: nothing on stderr" test ! -s stderr.txt
log=orbel2.log
DETAIL=
expect "log: first line 'Orbel2 Initialized'" eval "head -n 1 $log | grep -q '^\[[0-9:]*\] Orbel2 Initialized'"
expect "log: last line 'Orbel2 Finalizing'" eval "tail -n 1 $log | grep -q '^\[[0-9:]*\] Orbel2 Finalizing'"
expect "write: 'Usermessage: hello e2e' in the log" grep -q '^Usermessage: hello e2e \[' "$log"
expect "log: the device lost, initialized and reset at start, in that order" \
  eval "grep -o 'Kernel message: MSG_VIDEODEVICE[A-Z]*' $log | head -n 3 | tr '\\n' ' ' | grep -q '^Kernel message: MSG_VIDEODEVICELOST Kernel message: MSG_VIDEODEVICEINITIALIZED Kernel message: MSG_VIDEODEVICERESET \$'"
size=$(stat -c %s run1 2>/dev/null || echo 0)
DETAIL="$size bytes"
expect "record: run1 is 12 + 8k bytes with k > 100" eval '((size > 12 + 8 * 100 && (size - 12) % 8 == 0))'
# Records: step numbers 0, 1, 2, ... and the keys pressed, in order: right
# (2), up (4), left (1), down (8).
steps_ok=$(od -An -v -tu4 -w8 -j12 run1 | awk '$1 != NR - 1 { bad = 1 } END { print bad ? "no" : "yes" }')
keys=$(od -An -v -tu4 -w8 -j12 run1 | awk '$2 != 0 && $2 != last { printf "%s ", $2 } { last = $2 }')
DETAIL="step numbers in order: $steps_ok; keys: $keys"
expect "record: one record per step, holding Right, Up, Left, Down in turn" test "$steps_ok $keys" = "yes 2 4 1 8 "

# A recording begun mid-game, rewound, hashed, replayed and played back.
state_scenario "$program" "$work/state"

if [[ -n $SANITIZED ]]; then
  sanitized_session "$SANITIZED" "$here/../tests/lsan.supp" "$work/sanitized"
fi

if ((FAILED > 0)) && [[ -s stderr.txt ]]; then
  echo "--- stderr"
  cat stderr.txt
fi
echo "e2e: $(($(date +%s) - started)) s; screenshots, log and recordings in $ARTEFACTS"
echo "e2e: $PASSED passed, $FAILED failed"
((FAILED == 0))
