#!/usr/bin/env bash
# Measures the CPU an unfocused orbel2 uses: starts two instances under
# Xvfb, focuses the second, and reads both processes' CPU ticks over ten
# seconds. Usage: tools/idle-cpu.sh [path/to/orbel2]
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
  idle0=$(ticks "$idle"); focused0=$(ticks "$focused")
  sleep 10
  idle1=$(ticks "$idle"); focused1=$(ticks "$focused")
  hz=$(getconf CLK_TCK)
  echo "unfocused: $((idle1 - idle0)) ticks in 10 s ($(awk "BEGIN{printf \"%.1f\", ($idle1-$idle0)*100/$hz/10}")% of a core)"
  echo "focused:   $((focused1 - focused0)) ticks in 10 s ($(awk "BEGIN{printf \"%.1f\", ($focused1-$focused0)*100/$hz/10}")% of a core)"
  kill "$idle" "$focused"
  wait 2>/dev/null || true
  rm -rf "$work"
  exit 0
fi

program=$(realpath "${1:-build/release/orbel2}")
exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-x "$program"
