#!/usr/bin/env bash
# End-to-end test of the demo in a real X server: starts orbel2 under
# xvfb-run, types console commands and holds an arrow key with xdotool, takes
# a screenshot, quits with Escape and checks the log and the recording.
# Usage: tools/e2e-test.sh path/to/orbel2 [screenshot.png]
set -euo pipefail

if [[ "${1:-}" == "--inside-x" ]]; then
  shift
  program=$1
  screenshot=$2
  work=$(mktemp -d)
  cd "$work"
  "$program" > stdout.txt 2> stderr.txt &
  pid=$!
  window=$(timeout 20 xdotool search --sync --pid "$pid" | head -n 1)
  sleep 1
  xdotool windowfocus --sync "$window" || xdotool windowfocus "$window"
  sleep 0.3
  type_line() {
    xdotool type --delay 30 "$1"
    xdotool key Return
    sleep 0.3
  }
  type_line "write hello world"
  type_line "record run1"
  # The arrow keys also browse the console's history: hide it while driving.
  xdotool key Home
  xdotool keydown Right
  sleep 0.3
  xdotool keyup Right
  xdotool keydown Up
  sleep 1.2
  xdotool keyup Up
  sleep 0.3
  import -window "$window" "$screenshot" || true
  xdotool key Home
  sleep 0.3
  type_line "play run1"
  sleep 1
  xdotool key Escape
  status=0
  wait "$pid" || status=$?

  failures=0
  check() {
    if eval "$2"; then
      echo "ok: $1"
    else
      echo "FAILED: $1"
      failures=$((failures + 1))
    fi
  }
  log=orbel2.log
  check "exit status 0" "[[ $status -eq 0 ]]"
  check "nothing on stderr" "[[ ! -s stderr.txt ]]"
  check "log starts with Orbel2 Initialized" "head -n 1 $log | grep -q '^\[[0-9:]*\] Orbel2 Initialized'"
  check "log ends with Orbel2 Finalizing" "tail -n 1 $log | grep -q '^\[[0-9:]*\] Orbel2 Finalizing'"
  check "device messages in order" \
    "grep -o 'Kernel message: MSG_VIDEODEVICE[A-Z]*' $log | head -n 3 | tr '\n' ' ' | grep -q '^Kernel message: MSG_VIDEODEVICELOST Kernel message: MSG_VIDEODEVICEINITIALIZED Kernel message: MSG_VIDEODEVICERESET $'"
  check "user message logged" "grep -q '^Usermessage: hello world \[' $log"
  check "no device error logged" "! grep -q 'Error' $log"
  size=$(stat -c %s run1 2>/dev/null || echo 0)
  check "run1 is a whole recording with steps ($size bytes)" "(( size > 12 && (size - 12) % 8 == 0 ))"
  if ((failures > 0)); then
    echo "--- orbel2.log"; cat "$log" || true
    echo "--- stderr"; cat stderr.txt || true
  fi
  rm -rf "$work"
  echo "e2e: $((8 - failures)) passed, $failures failed"
  exit $((failures > 0))
fi

program=$(realpath "$1")
screenshot=$(realpath -m "${2:-build/e2e-screenshot.png}")
mkdir -p "$(dirname "$screenshot")"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-x "$program" "$screenshot"
