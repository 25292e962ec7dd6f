#!/usr/bin/env bash
# Follows every relative link and picture of the README and the documents
# under docs/: the file it names must exist, and a #section must be a
# heading of the page it points to. Run on the source tree and on the
# installed documentation (share/doc/orbel2), which keeps the same layout,
# so the links work in both places.
# Usage: tools/check-links.sh [dir...]   (default: the repository's root)
set -euo pipefail
cd "$(dirname "$0")/.."
(($# > 0)) || set -- "$PWD"

# The text of a page outside its fenced code blocks.
prose() { awk '/^[[:space:]]*```/ { fenced = !fenced; next } !fenced' "$1"; }

# GitHub's anchors: headings in lower case, without punctuation, spaces as
# hyphens.
anchors() {
  prose "$1" | sed -n -E 's/^#+[[:space:]]+//p' | tr '[:upper:]' '[:lower:]' |
    sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'
}

# Each link target of a page, one a line: [text](target) and ![alt](target).
targets() { prose "$1" | grep -o -E '\]\([^) ]+( "[^"]*")?\)' | sed -E 's/^\]\(([^) ]+).*/\1/' || true; }

links=0
broken=0
check_page() {
  local page=$1 target file anchor
  while IFS= read -r target; do
    [[ "$target" =~ ^[a-z]+: ]] && continue   # https:, mailto:
    links=$((links + 1))
    file=${target%%#*}
    anchor=""
    [[ "$target" == *#* ]] && anchor=${target#*#}
    if [[ -z "$file" ]]; then
      file=$page
    else
      file=$(dirname "$page")/$file
    fi
    if [[ ! -e "$file" ]]; then
      echo "links: $page: $target: no such file"
      broken=$((broken + 1))
    elif [[ -n "$anchor" && "$file" == *.md ]] && ! anchors "$file" | grep -q -x -F -- "$anchor"; then
      echo "links: $page: $target: no such section"
      broken=$((broken + 1))
    fi
  done < <(targets "$page")
}

for dir in "$@"; do
  pages=0
  for page in "$dir"/README.md "$dir"/docs/*.md; do
    [[ -f "$page" ]] || continue
    check_page "$page"
    pages=$((pages + 1))
  done
  if ((pages == 0)); then
    echo "links: no README.md or docs/*.md in $dir"
    broken=$((broken + 1))
  fi
done
if ((broken > 0)); then
  echo "links: $broken of $links broken"
  exit 1
fi
echo "links: ok ($links relative links followed in $*)"
