#!/usr/bin/env bash
# Builds the fuzz preset (clang 14, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each fuzz target against its corpus.
# Usage: tools/fuzz.sh [--ci] [-runs=N | -max_total_time=S] [target...]
#   default: -max_total_time=25 for every target
# New corpus entries go to build/fuzz/corpus/<target>/ (the seeds in
# tests/fuzz/corpus/<target>/ are read, never written); findings go to
# build/fuzz/findings/<target>/ and make the script fail.
# --ci: a repeatable run for the test suite: a fresh scratch corpus each time
# and a fixed random seed, so the same sources explore the same inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

ci=0
if [[ "${1:-}" == --ci ]]; then
  ci=1
  shift
fi
limit="-max_total_time=25"
if [[ "${1:-}" == -runs=* || "${1:-}" == -max_total_time=* ]]; then
  limit=$1
  shift
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < tests/fuzz/targets.txt
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in "${targets[@]}"; do
  corpus="$root/build/fuzz/corpus/$target"
  findings="$root/build/fuzz/findings/$target"
  extra=()
  log="$root/build/fuzz/$target.log"
  if ((ci)); then
    corpus="$root/build/fuzz/ci/corpus/$target"
    findings="$root/build/fuzz/ci/findings/$target"
    log="$root/build/fuzz/ci/$target.log"
    rm -rf "$corpus"
    extra+=(-seed=1)
  fi
  mkdir -p "$corpus" "$findings"
  # The texture manager refuses pictures by their declared size before they
  # are decoded; the generous limits are for a decoder that reads a size the
  # check cannot see. SDL itself keeps 16 bytes of some images for good
  # (docs/reliability.md), so leaks are not checked here; memory errors are.
  asan_options=""
  if [[ "$target" == image ]]; then
    extra+=(-rss_limit_mb=4096 -malloc_limit_mb=4096 -detect_leaks=0)
    asan_options="detect_leaks=0"
  fi
  echo "== fuzz_$target $limit"
  start=$(date +%s)
  if ASAN_OPTIONS="$asan_options" "$root/build/fuzz/fuzz_$target" "$limit" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "${extra[@]}" "$corpus" "$root/tests/fuzz/corpus/$target" \
      > "$log" 2>&1; then
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "   ok: ${runs:-?} executions in $(($(date +%s) - start)) s"
  else
    echo "   FINDING: see $log and $findings/"
    tail -n 30 "$log"
    status=1
  fi
done
exit $status
