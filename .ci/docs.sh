#!/usr/bin/env bash
# Checks the documentation: README.md stays a user's page (at most 200 lines) and holds its two
# set-up commands and both workflow commands, the pages it points to exist, and every relative
# link in README.md, CONTRIBUTING.md and doc/*.md names a file or directory that exists.
set -euo pipefail
cd "$(dirname "$0")/.."

MAX_README_LINES=200
PAGES=(README.md CONTRIBUTING.md doc/install.md doc/format.md doc/repack.md doc/windows.md doc/benchmarks.md)
COMMANDS=("    script/example" "    script/test" "cmake --workflow --preset example" "cmake --workflow --preset test")

failed=0
fail() {
  echo "docs: $*" >&2
  failed=1
}

for page in "${PAGES[@]}"; do
  [ -f "$page" ] || fail "$page is missing"
done

if [ -f README.md ]; then
  lines=$(wc -l <README.md)
  [ "$lines" -le "$MAX_README_LINES" ] || fail "README.md has $lines lines, more than $MAX_README_LINES"
  for command in "${COMMANDS[@]}"; do
    grep -qF -- "$command" README.md || fail "README.md does not hold '$command'"
  done
fi

# relative_links PAGE: the targets of the page's Markdown links, one a line, without their
# #anchor; links with a scheme (https:, mailto:) and links within the page are left out.
relative_links() {
  grep -o '\]([^)]*)' "$1" | sed 's/^](//; s/)$//; s/#.*//; s/ .*//' |
    grep -v -E '^$|^[a-zA-Z][a-zA-Z0-9+.-]*:' || true
}

checked=0
for page in README.md CONTRIBUTING.md doc/*.md; do
  [ -f "$page" ] || continue
  base=$(dirname "$page")
  while IFS= read -r target; do
    checked=$((checked + 1))
    [ -e "$base/$target" ] || fail "$page links to $target, which does not exist"
  done < <(relative_links "$page")
done

[ "$failed" = 0 ] || exit 1
echo "docs: ${#PAGES[@]} pages, $checked relative links, README.md $(wc -l <README.md) lines"
