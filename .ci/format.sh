#!/usr/bin/env bash
# Checks the C++ files changed since the commit that added .clang-format (committed changes and
# the working tree's) against it with clang-format-14. Only those files: older code keeps its
# layout until it is next edited, so the history is never rewritten to reformat it.
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG_FORMAT=clang-format-14
command -v "$CLANG_FORMAT" >/dev/null || { echo "format: $CLANG_FORMAT is missing (apt-get install clang-format-14)" >&2; exit 1; }

base=$(git log --diff-filter=A --format=%H -- .clang-format | tail -n 1)
if [ -z "$base" ]; then
  echo "format: the commit that added .clang-format is not in this clone's history; nothing checked" >&2
  exit 0
fi

changed=()
while IFS= read -r -d '' file; do
  [ -f "$file" ] && changed+=("$file")
done < <(git diff -z --name-only --diff-filter=d "$base" -- '*.cpp' '*.hpp')
echo "format: ${#changed[@]} C++ files changed since $(git log -1 --format='%h %s' "$base")"
[ ${#changed[@]} -eq 0 ] || "$CLANG_FORMAT" --dry-run --Werror "${changed[@]}"
