#!/usr/bin/env bash
# Checks every C++ file the repository tracks against .clang-format with clang-format-14.
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG_FORMAT=${CLANG_FORMAT:-clang-format-14}
command -v "$CLANG_FORMAT" >/dev/null || { echo "format: $CLANG_FORMAT is missing (script/setup ci installs it)" >&2; exit 1; }

files=()
while IFS= read -r -d '' file; do
  files+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.hpp')
[ ${#files[@]} -gt 0 ] || { echo "format: no C++ files found; is this a git checkout?" >&2; exit 1; }
echo "format: checking ${#files[@]} C++ files"
"$CLANG_FORMAT" --dry-run --Werror "${files[@]}"
