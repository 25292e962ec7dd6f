# shellcheck shell=bash
# The world's state as a person meets it: a recording begun in the middle of
# a game, the rewind key, "hash" and "save", then the recording replayed
# headless (--replay) and played back in the program, paused at its end.
# Sourced by tools/e2e-test.sh after the main run; uses the helpers of
# drive.sh and pixels.sh, and the test's centre_of and distance.
#
# The hash the live program shows is compared with the replay's without
# reading any character:
#   on screen  the replay's own "hash at step N: 0x..." line is typed on the
#              console so that its echo stands on the row where the "hash"
#              command's line stood, over the same still scene: the two
#              drawings must be the same pixels (and a line with one digit
#              changed must not be);
#   in files   "save live" keeps the world at that step; a recording of no
#              records that begins in it (live as its FILE.state) replayed
#              headless prints that world's hash, which must be the replay's.
# Conditions are handed to expect in single quotes, expanded when the check
# runs, so the variables they name look unused to shellcheck.
# shellcheck disable=SC2016,SC2034

# scene_differ A B: how many pixels of the two screenshots' 640 x 480 scenes
# differ in any channel, the watches at the top right (where fps and the
# frame time change from frame to frame) left out. The console is hidden
# when these are taken.
scene_differ() {
  convert \( "$ARTEFACTS/$1.png" -crop 640x480+0+0 +repage -fill black -draw 'rectangle 300,0 639,100' \) \
    \( "$ARTEFACTS/$2.png" -crop 640x480+0+0 +repage -fill black -draw 'rectangle 300,0 639,100' \) \
    -compose difference -composite -separate -evaluate-sequence max -threshold 0 \
    -format '%[fx:round(mean*w*h)]\n' info:
}

# replay_field OUTPUT NAME: the value of the line "NAME: value" of --replay.
replay_field() {
  sed -n "s/^$2: //p" <<<"$1" | head -n 1
}

# state_start PROGRAM DIRECTORY NAME: the program started in DIRECTORY, its
# output kept as NAME-stdout.txt and NAME-stderr.txt; false when no window
# opens.
state_start() {
  (cd "$2" && exec "$1") > "$2/$3-stdout.txt" 2> "$2/$3-stderr.txt" &
  PROGRAM_PID=$!
  if ! find_window; then
    expect "state, $3: the program opens its window" false
    kill "$PROGRAM_PID" 2>/dev/null
    return 1
  fi
  sleep 1
  focus
}

# state_quit DIRECTORY NAME: Escape; checks the status and stderr, and keeps
# the log as NAME.log.
state_quit() {
  local status=0
  key Escape
  for _ in $(seq 100); do
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$PROGRAM_PID" 2>/dev/null
  wait "$PROGRAM_PID" || status=$?
  cp "$1/orbel2.log" "$1/$2.log" 2>/dev/null
  DETAIL="status $status, $(wc -c < "$1/$2-stderr.txt") bytes on stderr"
  expect "state, $2: Escape ends it with status 0, nothing on stderr" \
    eval '((status == 0)) && test ! -s "$1/$2-stderr.txt"'
}

# The live run: play, record, rewind with the key, play on, stop the world,
# "hash" and "save". Sets LIVE_STEPS and LIVE_HASH from the replay.
state_live_run() {
  local program=$1 dir=$2 moved back during before held replayed centre1 d n
  state_start "$program" "$dir" live || return 1
  key Home
  hold Right 0.1
  hold Up 0.4
  sleep 1
  key Home
  run_line "graph 1"
  run_line "record run1"
  key Home
  hold Left 0.08
  sleep 0.4
  shot 80-recording "$WIN"
  hold Up 0.5
  sleep 0.5
  # Screenshots only, their masks made later: the player moves on while
  # they are made.
  import -window root "$ARTEFACTS/81-before-rewind.png"
  xdotool keydown BackSpace
  sleep 0.7
  import -window root "$ARTEFACTS/82-rewinding.png"
  sleep 0.8
  xdotool keyup BackSpace
  sleep 0.3
  shot 83-rewound "$WIN"
  make_masks "$ARTEFACTS/81-before-rewind.png" "$WIN"
  make_masks "$ARTEFACTS/82-rewinding.png" "$WIN"
  centre1=$(centre_of 80-recording)
  moved=$(distance "$centre1" "$(centre_of 81-before-rewind)")
  during=$(distance "$centre1" "$(centre_of 82-rewinding)")
  back=$(distance "$centre1" "$(centre_of 83-rewound)")
  # How far it has gone back while held depends on the machine's load when
  # the screenshot is taken; it is shown, and the picture after is checked.
  DETAIL="off the earlier picture's player: $moved pixels before, $during while held, $back after"
  expect "Backspace held: the picture goes back towards the earlier one" eval '((moved >= 30 && back * 2 < moved))'
  colour_mask 81-before-rewind rewound "#40A0FF"
  colour_mask 82-rewinding rewound "#40A0FF"
  before=$(count 81-before-rewind rewound 640x120+0+360)
  held=$(count 82-rewinding rewound 640x120+0+360)
  DETAIL="$before pixels before, $held while held"
  expect "Backspace held: the graph marks the rewound frames in their colour" eval '((before == 0 && held > 20))'

  hold Up 0.3
  sleep 0.7
  key Home
  run_line "graph 0"
  run_line "set playspeed 0"
  run_line "hash"
  shot 84-hash "$WIN"
  # A line of no output moves the hash line up to row 2.
  run_line "set playspeed 0"
  shot 85-hash-row2 "$WIN"
  key Home
  shot 86-live-still "$WIN"
  key Home

  # The recording is flushed frame by frame and the world stands still, so
  # run1 on disk is the whole run already.
  replayed=$(cd "$dir" && "$program" --replay run1 2>&1)
  LIVE_STEPS=$(replay_field "$replayed" steps)
  LIVE_HASH=$(replay_field "$replayed" hash)
  run_line "hash at step $LIVE_STEPS: $LIVE_HASH"
  shot 87-replay-line-typed "$WIN"
  d=$(differ 85-hash-row2 text "$(row_region 2)" 87-replay-line-typed "$(row_region 2)")
  n=$(count 85-hash-row2 text "$(row_region 2)")
  DETAIL="'hash at step $LIVE_STEPS: $LIVE_HASH' typed: $n text pixels, $d differ"
  expect "hash: the live line is drawn as the replay's 'hash at step N: 0x...'" eval '((n >= 100 && d == 0))'
  # The check can tell one digit from another.
  run_line "hash at step $LIVE_STEPS: ${LIVE_HASH%?}$([[ ${LIVE_HASH: -1} == 0 ]] && echo 8 || echo 0)"
  shot 88-other-line-typed "$WIN"
  d=$(differ 85-hash-row2 text "$(row_region 2)" 88-other-line-typed "$(row_region 2)")
  DETAIL="$d pixels differ"
  expect "hash: a line with its last digit changed is drawn differently" test "$d" -gt 0

  run_line "save live"
  state_quit "$dir" live
}

state_scenario() {
  local program=$1 dir=$2 replayed status steps_saved expected here_hash
  rm -rf "$dir"
  mkdir -p "$dir"
  WIN=640x480+0+0
  console_layout 640 480 0.5
  state_live_run "$program" "$dir" || return

  # --replay after the program has ended: the same file, every checkpoint.
  status=0
  replayed=$(cd "$dir" && "$program" --replay run1 2> replay-stderr.txt) || status=$?
  echo "$replayed" > "$dir/replay-stdout.txt"
  expected=$((LIVE_STEPS / 50 + 1))
  DETAIL="status $status, $(replay_field "$replayed" steps) steps, checkpoints: $(replay_field "$replayed" checkpoints)"
  expect "--replay run1: exit 0, every checkpoint matched (checkpoint 0 included), nothing on stderr" \
    eval '((status == 0)) && test "$(replay_field "$replayed" checkpoints)" = "$expected matched in run1.sum" &&
      test ! -s "$dir/replay-stderr.txt"'
  DETAIL="$(replay_field "$replayed" hash), the live line's $LIVE_HASH"
  expect "--replay run1: the final hash is the one 'hash' showed" \
    eval '[[ -n $LIVE_HASH && $(replay_field "$replayed" hash) == "$LIVE_HASH" ]]'

  # The world "save" kept, as the start of a recording of no records.
  steps_saved=$(od -An -tu4 -j20 -N4 "$dir/live" 2>/dev/null | tr -d ' ')
  head -c 12 "$dir/run1" > "$dir/at-live"
  cp "$dir/live" "$dir/at-live.state" 2>/dev/null
  here_hash=$(cd "$dir" && "$program" --replay at-live 2>/dev/null | sed -n 's/^hash: //p')
  DETAIL="saved at step $steps_saved, hash $here_hash"
  expect "save: the world saved at that step hashes to the replay's final hash" \
    eval '[[ $steps_saved == "$LIVE_STEPS" && $here_hash == "$LIVE_HASH" ]]'

  state_play_run "$program" "$dir"
  mkdir -p "$ARTEFACTS/state"
  cp "$dir"/run1* "$dir"/live "$dir"/played "$dir"/*.txt "$dir"/live.log "$dir"/play.log "$ARTEFACTS/state/" 2>/dev/null
}

# The second run: "play run1" with "playpause", to the recording's end.
state_play_run() {
  local program=$1 dir=$2 seconds waited still=no d n
  state_start "$program" "$dir" play || return
  run_line "set playpause 1"
  run_line "play run1"
  key Home
  seconds=$(awk -v s="$LIVE_STEPS" 'BEGIN { printf "%d", s * 0.02 + 1 }')
  sleep "$seconds"
  # Still: the step counter's watch (the second row) and the scene stay the
  # same for half a second.
  for waited in $(seq 0 30); do
    shot 89-play-end "$WIN"
    sleep 0.5
    shot 89b-play-end-later "$WIN"
    if [[ $(differ 89-play-end watch 340x19+300+43 89b-play-end-later 340x19+300+43) -eq 0 &&
      $(scene_differ 89-play-end 89b-play-end-later) -eq 0 ]]; then
      still=yes
      break
    fi
  done
  DETAIL="still after $((seconds + waited)) s"
  expect "play run1 with playpause 1: the world comes to a stop" test "$still" = yes
  d=$(scene_differ 86-live-still 89b-play-end-later)
  DETAIL="$d pixels differ"
  expect "play run1: stopped at its end, the scene is the live run's, pixel for pixel" test "$d" -eq 0
  key Home
  run_line "hash"
  shot 89c-play-hash "$WIN"
  d=$(differ 84-hash text "$(row_region 1)" 89c-play-hash "$(row_region 1)")
  n=$(count 84-hash text "$(row_region 1)")
  DETAIL="$n text pixels, $d differ"
  expect "play run1: 'hash' shows the live run's line" eval '((n >= 100 && d == 0))'
  run_line "save played"
  state_quit "$dir" play
  # A saved world: a 20-byte head, the session's 28 bytes (the step count
  # first; then the mode and the playback's place, which differ between a
  # recording and its playback), the physics and the game's own bytes, the
  # checksum's 8.
  DETAIL="steps $(od -An -tu4 -j20 -N4 "$dir/live" | tr -d ' ') and $(od -An -tu4 -j20 -N4 "$dir/played" | tr -d ' ')"
  expect "play run1: 'save' there writes the live run's world, byte for byte" \
    eval 'cmp -s <(head -c 24 "$dir/live") <(head -c 24 "$dir/played") &&
      cmp -s <(tail -c +49 "$dir/live" | head -c -8) <(tail -c +49 "$dir/played" | head -c -8) &&
      test "$(stat -c %s "$dir/live")" -gt 56'
  DETAIL=
  expect "play run1: the log names no divergence" eval 'test -s "$dir/play.log" && ! grep -q "Replay diverges" "$dir/play.log" "$dir/live.log"'
}
