#!/usr/bin/env bash
# Checks that the engine's units include no header from a layer above their
# own (tools/layers.txt), that every include of the engine's is named from
# the root, and that no units include each other in a circle.
# Usage: tools/check-layers.sh [root]      checks the tree at root (default .)
#        tools/check-layers.sh --self-test shows that it catches a bad include
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [[ "${1:-}" == "--self-test" ]]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  failures=0
  # Each: a file and an include it must not have.
  while read -r file include; do
    rm -rf "$scratch/tree"
    mkdir -p "$scratch/tree"
    (cd "$here/.." && tar cf - orbel2 demo web tools/layers.txt) | tar xf - -C "$scratch/tree"
    sed -i "1a #include \"$include\"" "$scratch/tree/$file"
    if "$0" "$scratch/tree" > "$scratch/out" 2>&1; then
      echo "self-test FAILED: $file including $include passed the check"
      failures=$((failures + 1))
    else
      echo "self-test ok: $file including $include is caught: $(grep -m1 -E 'above|leaf|circle|shadow' "$scratch/out")"
    fi
  done <<'CASES'
orbel2/kernel/OB_Messages.cpp orbel2/console/OB_Logfile.h
orbel2/kernel/OB_Platform.cpp orbel2/video/platform/OB_GfxWindow.h
orbel2/video/platform/OB_GfxDevice.cpp orbel2/video/OB_Primitive.h
orbel2/vfs/OB_vfs.cpp orbel2/session/OB_Kernel.h
orbel2/console/OB_Console.cpp orbel2/console/OB_ConsoleCommands.h
orbel2/session/Session.cpp demo/MainSession.h
orbel2/physics/Body.h physics/Vector2D.h
CASES
  exit $((failures > 0))
fi

root=${1:-.}
cd "$root"

declare -A layerOf
declare -A leafAllows
level=0
while read -r kind rest; do
  case "$kind" in
    layer)
      for folder in $rest; do layerOf[$folder]=$level; done
      level=$((level + 1))
      ;;
    leaf)
      read -r folder allowed <<< "$rest"
      leafAllows[$folder]="$folder $allowed"
      ;;
  esac
done < <(grep -v -E '^\s*(#|$)' tools/layers.txt)

# The layer folder a path belongs to: the longest folder of the table that
# holds it.
folder_of() {
  local path=$1 best=""
  for folder in "${!layerOf[@]}" "${!leafAllows[@]}"; do
    if [[ "$path" == "$folder"/* && ${#folder} -gt ${#best} ]]; then best=$folder; fi
  done
  echo "$best"
}

layer_of() {
  local folder=$1
  while [[ -z "${layerOf[$folder]:-}" && "$folder" == */* ]]; do folder=${folder%/*}; done
  echo "${layerOf[$folder]:-}"
}

status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
mapfile -t sources < <(find "${!layerOf[@]}" -name '*.h' -o -name '*.cpp' | sort)
for source in "${sources[@]}"; do
  from=$(folder_of "$source")
  unit=${source%.*}
  while read -r include; do
    # Named from the root ("orbel2/physics/Body.h"), so that a game's own
    # folder of the same name can never stand in for the engine's.
    if [[ "$include" != orbel2/* && "$include" != demo/* ]]; then
      echo "$source: includes \"$include\", which a game's own folder could shadow: name it from the root"
      status=1
      continue
    fi
    [[ -e "$include" ]] || continue
    to=$(folder_of "$include")
    [[ -n "$to" ]] || continue
    target=${include%.*}
    [[ "$target" == "$unit" ]] || echo "$unit $target" >> "$edges"
    if [[ -n "${leafAllows[$from]:-}" ]]; then
      allowed=0
      for folder in ${leafAllows[$from]}; do [[ "$to" == "$folder" ]] && allowed=1; done
      if ((allowed == 0)); then
        echo "$source: includes $include, but $from is a leaf that may include only ${leafAllows[$from]}"
        status=1
      fi
      continue
    fi
    if (($(layer_of "$to") > $(layer_of "$from"))); then
      echo "$source: includes $include from a layer above its own ($to above $from)"
      status=1
    fi
  done < <(sed -n -E 's/^#include "([^"]+)".*/\1/p' "$source")
done

if ! loops=$(tsort "$edges" 2>&1 >/dev/null) || [[ -n "$loops" ]]; then
  echo "units include each other in a circle:"
  echo "$loops" | sed -n -E 's/^tsort: ([^:]*: )?/  /p'
  status=1
fi

if ((status == 0)); then
  echo "layers: ok (${#sources[@]} files, $(sort -u "$edges" | wc -l) unit includes, no circle)"
fi
exit $status
