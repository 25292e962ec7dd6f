# shellcheck shell=bash
# Driving the demo in an X server with xdotool, taking screenshots and
# keeping the tally of checks. Sourced by tools/e2e-test.sh, which sets
# ARTEFACTS (where screenshots are kept), MASKS (scratch) and PROGRAM_PID.

PASSED=0
FAILED=0

# expect NAME COMMAND...: one "ok:" or "FAILED:" line, by COMMAND's status,
# followed by what was measured when DETAIL says it (the caller or COMMAND
# sets DETAIL; it is cleared after each check).
DETAIL=
expect() {
  local name=$1 verdict
  shift
  if "$@"; then
    verdict=ok
    PASSED=$((PASSED + 1))
  else
    verdict=FAILED
    FAILED=$((FAILED + 1))
  fi
  echo "$verdict: $name${DETAIL:+ ($DETAIL)}"
  DETAIL=
}

# within VALUE LOW HIGH: LOW <= VALUE <= HIGH (numbers, fractions allowed).
within() {
  awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v != "" && v + 0 >= lo + 0 && v + 0 <= hi + 0) }'
}

# The program's window, waited for; the id is kept in WINDOW.
find_window() {
  WINDOW=$(timeout 15 xdotool search --sync --onlyvisible --pid "$PROGRAM_PID" 2>/dev/null | head -n 1 || true)
  [[ -n $WINDOW ]]
}

focus() {
  find_window || return 1
  timeout 5 xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW" 2>/dev/null || true
}

# window_geometry: "W H X Y" of the program's window.
window_geometry() {
  # shellcheck disable=SC2034  # set by the eval, read or not
  local WIDTH HEIGHT X Y SCREEN WINDOW_ID
  eval "$(xdotool getwindowgeometry --shell "$WINDOW" 2>/dev/null | sed 's/^WINDOW=/WINDOW_ID=/')"
  echo "${WIDTH:-0} ${HEIGHT:-0} ${X:-0} ${Y:-0}"
}

# key KEYS...: presses and releases each key; the console and the game see
# the presses within a frame or two.
key() {
  xdotool key --delay 40 "$@"
  sleep 0.15
}

# hold KEY SECONDS: keeps KEY down for SECONDS.
hold() {
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

type_text() {
  xdotool type --delay 12 "$1"
  sleep 0.15
}

# run_line TEXT: types TEXT on the console's edit line and runs it.
run_line() {
  type_text "$1"
  xdotool key Return
  sleep 0.35
}

# shot NAME [REGION]: a screenshot of the whole screen kept as
# $ARTEFACTS/NAME.png, and its masks over REGION (the whole screen unless
# given; coordinates stay the screen's). The actions before it have waited
# for the frames that show them.
shot() {
  local name=$1 region=${2:-}
  import -window root "$ARTEFACTS/$name.png"
  make_masks "$ARTEFACTS/$name.png" "$region"
}
