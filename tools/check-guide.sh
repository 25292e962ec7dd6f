#!/usr/bin/env bash
# The code in docs/writing-a-session.md is the example program's own: each
# block that follows a line
#   <!-- excerpt FILE NAME -->
# must be exactly the lines of FILE between "// guide: NAME" and the next
# "// guide: end". The example is built and run by the test command, so the
# guide's code is code that compiles and runs.
# Usage: tools/check-guide.sh [--update]   (--update rewrites the blocks)
set -euo pipefail
cd "$(dirname "$0")/.."
guide=docs/writing-a-session.md
update=0
[[ "${1:-}" == "--update" ]] && update=1

excerpt() {
  local file=$1 name=$2
  awk -v start="// guide: $name" '
    index($0, start) == 1 && length($0) == length(start) { inside = 1; found = 1; next }
    inside && $0 == "// guide: end" { exit }
    inside { print }
    END { if (!found) exit 1 }' "$file"
}

out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
blocks=0
while IFS= read -r line || [[ -n "$line" ]]; do
  if [[ "$line" =~ ^\<!--\ excerpt\ ([^ ]+)\ ([^ ]+)\ --\>$ ]]; then
    file=${BASH_REMATCH[1]}
    name=${BASH_REMATCH[2]}
    echo "$line" >> "$out"
    IFS= read -r fence
    echo "$fence" >> "$out"
    documented=""
    while IFS= read -r code && [[ "$code" != '```' ]]; do documented+="$code"$'\n'; done
    if ! actual=$(excerpt "$file" "$name"); then
      echo "guide: no \"// guide: $name\" in $file"
      status=1
      actual=""
    fi
    actual+=$'\n'
    blocks=$((blocks + 1))
    if [[ "$documented" != "$actual" ]]; then
      if ((update)); then
        echo "guide: updated $file $name"
      else
        echo "guide: the excerpt $file $name differs from the code"
        diff <(printf '%s' "$documented") <(printf '%s' "$actual") || true
        status=1
      fi
    fi
    printf '%s```\n' "$actual" >> "$out"
    continue
  fi
  echo "$line" >> "$out"
done < "$guide"

if ((update)); then
  cp "$out" "$guide"
elif ((status == 0)); then
  echo "guide: ok ($blocks excerpts match the example's code)"
fi
exit $status
