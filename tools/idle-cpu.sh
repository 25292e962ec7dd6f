#!/usr/bin/env bash
# Measures the CPU orbel2 uses: starts two instances under Xvfb, focuses the
# second, and reads both processes' CPU ticks over ten seconds; then, in the
# focused one, the same with "set maxfps 10", and with "set interpolate 1"
# and "graph 1" added. Usage: tools/idle-cpu.sh [path/to/orbel2]
set -euo pipefail

if [[ "${1:-}" == "--inside-x" ]]; then
  program=$2
  work=$(mktemp -d)
  mkdir "$work/idle" "$work/focused"
  (cd "$work/idle" && exec "$program") & idle=$!
  (cd "$work/focused" && exec "$program") & focused=$!
  timeout 20 xdotool search --sync --pid "$idle" > /dev/null
  window=$(timeout 20 xdotool search --sync --pid "$focused" | head -n 1)
  xdotool windowfocus --sync "$window" || xdotool windowfocus "$window"
  sleep 1
  ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
  hz=$(getconf CLK_TCK)
  # report LABEL BEFORE AFTER: the ticks over the ten seconds and the share of a core.
  report() {
    echo "$1 $(($3 - $2)) ticks in 10 s ($(awk "BEGIN{printf \"%.1f\", ($3-$2)*100/$hz/10}")% of a core)"
  }
  # run_lines LINE...: types each line on the focused instance's console.
  run_lines() {
    local line
    for line in "$@"; do
      xdotool type --delay 12 "$line"
      xdotool key Return
    done
    sleep 1
  }
  idle0=$(ticks "$idle"); focused0=$(ticks "$focused")
  sleep 10
  idle1=$(ticks "$idle"); focused1=$(ticks "$focused")
  report "unfocused:" "$idle0" "$idle1"
  report "focused:  " "$focused0" "$focused1"
  run_lines "set maxfps 10"
  capped0=$(ticks "$focused")
  sleep 10
  report "focused, maxfps 10:" "$capped0" "$(ticks "$focused")"
  run_lines "set interpolate 1" "graph 1"
  shown0=$(ticks "$focused")
  sleep 10
  report "focused, maxfps 10, interpolate 1, graph 1:" "$shown0" "$(ticks "$focused")"
  kill "$idle" "$focused"
  wait 2>/dev/null || true
  rm -rf "$work"
  exit 0
fi

program=$(realpath "${1:-build/release/orbel2}")
exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-x "$program"
