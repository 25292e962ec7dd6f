#!/usr/bin/env bash
# Builds the fuzz preset (clang 14, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each fuzz target against its corpus.
# Usage: tools/fuzz.sh [-runs=N | -max_total_time=S] [target...]
#   default: -max_total_time=25 for every target
# New corpus entries go to build/fuzz/corpus/<target>/ (the seeds in
# tests/fuzz/corpus/<target>/ are read, never written); findings go to
# build/fuzz/findings/<target>/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

limit="-max_total_time=25"
if [[ "${1:-}" == -runs=* || "${1:-}" == -max_total_time=* ]]; then
  limit=$1
  shift
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(console_line console_keys recording image vfs_name)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in "${targets[@]}"; do
  corpus="$root/build/fuzz/corpus/$target"
  findings="$root/build/fuzz/findings/$target"
  mkdir -p "$corpus" "$findings"
  extra=()
  # The image decoders allocate by the size an image declares, before the
  # engine sees it: allow a decode of a large declared size. SDL itself
  # keeps 16 bytes of some images for good (docs/reliability.md), so leaks
  # are not checked here; memory errors still are.
  if [[ "$target" == image ]]; then
    extra+=(-rss_limit_mb=4096 -malloc_limit_mb=4096 -detect_leaks=0)
  fi
  echo "== fuzz_$target $limit"
  start=$(date +%s)
  if "$root/build/fuzz/fuzz_$target" "$limit" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "${extra[@]}" "$corpus" "$root/tests/fuzz/corpus/$target" \
      > "$root/build/fuzz/$target.log" 2>&1; then
    runs=$(grep -E '^stat::number_of_executed_units' "$root/build/fuzz/$target.log" | awk '{print $2}')
    echo "   ok: ${runs:-?} executions in $(($(date +%s) - start)) s"
  else
    echo "   FINDING: see build/fuzz/$target.log and $findings/"
    tail -n 30 "$root/build/fuzz/$target.log"
    status=1
  fi
done
exit $status
