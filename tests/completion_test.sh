#!/usr/bin/env bash
# The bash completion, sourced alone (no bash-completion package needed) and called as bash
# would call it, in a scratch folder holding a.dat, B.DAT, b.txt, -odd.dat and sub/:
#   completion_test.sh COMPLETION_FILE DARVEX
# Each case is a command line whose last word is the one being completed; what the completion
# offers, sorted, must be exactly the expected words. The options it offers must also be
# exactly those that `DARVEX --help` lists.
set -euo pipefail
completion=$(realpath "$1")
tool=$(realpath "$2")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
touch a.dat B.DAT b.txt ./-odd.dat
mkdir sub

# shellcheck source=/dev/null  # the file is the first argument
source "$completion"
[[ $(complete -p DarvEx) == *"-F _DarvEx DarvEx" ]] || {
  echo "completion: $completion does not register _DarvEx for DarvEx" >&2
  exit 1
}

# offered LINE: what the completion offers for LINE, sorted, one line. A LINE ending in a space
# completes an empty word.
offered() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _DarvEx
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' '
}

failures=0
# expect LINE WORDS: the completion offers exactly WORDS (sorted, space-separated) for LINE.
expect() {
  local got
  got=$(offered "$1")
  if [[ $got != "$2" ]]; then
    echo "completion: for '$1' expected '$2', got '$got'" >&2
    failures=$((failures + 1))
  fi
}

long_options=$("$tool" --help | grep -oE -- '--[a-z-]+' | grep -vxF -- '--' | LC_ALL=C sort -u | paste -sd ' ')
short_options=$("$tool" --help | sed -nE 's/^  (-[a-zA-Z]),.*/\1/p' | LC_ALL=C sort | paste -sd ' ')
[[ -n $long_options && -n $short_options ]] || { echo "completion: no options in $tool --help" >&2; exit 1; }

#      command line                what is offered
expect "DarvEx --di"               "--diff --directory"
expect "DarvEx --dir"              "--directory"
expect "DarvEx --diff "            "-odd.dat B.DAT a.dat sub"
expect "DarvEx --diff a.dat B"     "B.DAT"
expect "DarvEx -c n.dat --sy"      "--sync"
expect "DarvEx --"                 "$long_options"
expect "DarvEx -l --no"            "--no-overwrite --no-table"
expect "DarvEx -l --no-o"          "--no-overwrite"
expect "DarvEx -d "                "sub"
expect "DarvEx --directory "       "sub"
expect "DarvEx --directory = "     "sub"
expect "DarvEx --directory = s"    "sub"
expect "DarvEx --directory=s"      "--directory=sub"
expect "DarvEx -ld "               "sub"
expect "DarvEx -ds"                "-dsub"
expect "DarvEx -j "                ""
expect "DarvEx -j4 -i "            ""
expect "DarvEx -x "                ""
expect "DarvEx --strip-components " ""
expect "DarvEx --str"             "--strip-components"
expect "DarvEx "                   "-odd.dat B.DAT a.dat sub"
expect "DarvEx -q a"               "a.dat"
expect "DarvEx b"                  "b.txt"
expect "DarvEx -i *.xml "          "-odd.dat B.DAT a.dat sub"
expect "DarvEx -- -"               "-odd.dat"
expect "DarvEx a.dat -"            "-odd.dat"
expect "DarvEx a.dat --di"         ""
expect "DarvEx -c "                "-odd.dat B.DAT a.dat sub"
expect "DarvEx --like a"           "a.dat"
expect "DarvEx --level "           ""
expect "DarvEx -c new.dat "        "sub"
expect "DarvEx -qc new.dat -x a "  "sub"
expect "DarvEx -dc x "            "-odd.dat B.DAT a.dat sub"
expect "DarvEx --create=n.dat s"   "sub"

# Every short option, and only those: "-" offers the short and long options together.
all_options=$(tr ' ' '\n' <<<"$short_options $long_options" | LC_ALL=C sort | paste -sd ' ')
expect "DarvEx -"                  "$all_options"

((failures == 0)) || exit 1
echo "completion: every case offers what it should"
