# shellcheck shell=bash
# A short session of the sanitizer build (AddressSanitizer with its leak
# check, and UndefinedBehaviorSanitizer) as a person has it: keys that hide
# and show the console and drive the player, a recording stepped back with
# the rewind key, the world saved, loaded, hashed, rewound and played back,
# console commands that once overflowed or held gigabytes, Escape. A
# sanitizer report or a status other than 0 fails its checks. Sourced by
# tools/e2e-test.sh, after the main run; uses the helpers of drive.sh and
# pixels.sh.

# Mesa's software GL driver, loaded and unloaded by SDL's X11 video, keeps a
# few allocations reachable only from its own data; unloaded before the
# leak check runs, it leaves them unreachable, in frames the check can no
# longer name (so no suppression can match them but one that matches every
# leak). Loaded with the program, it stays until the check.
mesa_driver_preload() {
  local asan driver
  asan=$(ldd "$1" | awk '/libasan\.so/ { print $3; exit }')
  driver=$(find /usr/lib /usr/lib64 -path '*/dri/swrast_dri.so' 2>/dev/null | head -n 1)
  if [[ -n $asan && -n $driver ]]; then
    echo "$asan $driver"
  fi
}

# sanitized_session PROGRAM SUPPRESSIONS DIRECTORY: the session, run in
# DIRECTORY (made if missing).
# shellcheck disable=SC2034  # DETAIL is read by expect
sanitized_session() {
  local program=$1 suppressions=$2 dir=$3 status=0 before after
  mkdir -p "$dir"
  (cd "$dir" && LD_PRELOAD=$(mesa_driver_preload "$program") \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0 exec "$program") \
    > "$dir/stdout.txt" 2> "$dir/stderr.txt" &
  PROGRAM_PID=$!
  if ! find_window; then
    expect "sanitized build: opens its window" false
    cp "$dir/stderr.txt" "$ARTEFACTS/sanitized-stderr.txt"
    return
  fi
  sleep 2
  focus
  key Home
  hold Right 0.3
  hold Up 0.3
  key Home
  run_line "record sanitized-run"
  key Home
  hold Up 0.3
  hold BackSpace 0.5
  key Home
  for line in "save world" "load world" "hash" "rewind 1" "set playpause 1" "play sanitized-run"; do
    run_line "$line"
  done
  run_line "set consoleheight 67108864"
  run_line "vid_size 16384 16384"
  run_line "set consoleheight 0.5"
  shot 90-sanitized "640x480+0+0"
  before=$(count 90-sanitized text 640x240+0+0)
  DETAIL="$before text pixels in the console"
  expect "sanitized build: the console still drawn after the commands" test "$before" -gt 200
  key Escape
  for _ in $(seq 150); do
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
  done
  wait "$PROGRAM_PID" || status=$?
  cp "$dir/stderr.txt" "$ARTEFACTS/sanitized-stderr.txt"
  after=$(wc -c < "$dir/stderr.txt")
  DETAIL="status $status"
  expect "sanitized build: Escape ends it with status 0" test "$status" -eq 0
  DETAIL="$after bytes, kept as sanitized-stderr.txt"
  expect "sanitized build: no sanitizer report, nothing on stderr" test "$after" -eq 0
  if ((after > 0)); then
    head -n 40 "$dir/stderr.txt"
  fi
}
