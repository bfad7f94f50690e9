# Bash completion for DarvEx, installed as share/bash-completion/completions/DarvEx.
#
# Before the first archive, a word starting with - completes to the options `DarvEx --help`
# lists, short and long. After -d/--directory (also --directory=DIR and -dDIR) it offers
# folders; after -c/--create and --like, archives; after -j/--jobs, --level and
# --strip-components (numbers), -i/--include and -x/--exclude (patterns for entry names)
# nothing. Options end at the first archive or at --, so after either only files are offered;
# with -c, only folders (the one operand is the folder to pack).
#
# Archives: the *.dat files (in any letter case) and the folders first, as that is what DarvEx
# is mostly given and where such files lie; when none of those fit what has been typed, every
# file and folder, since an archive may have any name.
#
# It needs bash alone, nothing from the bash-completion package.

# _DarvEx_value_option WORD: prints the option of WORD that takes the next word as its value
# (--directory, or the d of -d and -ld), or nothing when the next word is not a value. In a
# group of short options, the first one that takes a value takes the rest of the group.
_DarvEx_value_option() {
  local word=$1 i
  case $word in
    --directory | --include | --exclude | --jobs | --strip-components | --create | --like | --level)
      printf '%s\n' "$word"
      ;;
    --*) ;;
    -?*)
      for ((i = 1; i < ${#word}; i++)); do
        case ${word:i:1} in
          [dixjc])
            ((i == ${#word} - 1)) && printf -- '-%s\n' "${word:i:1}"
            return 0
            ;;
        esac
      done
      ;;
  esac
  return 0
}

# _DarvEx_reply COMMAND...: COMPREPLY from COMMAND's output, one candidate a line.
_DarvEx_reply() {
  mapfile -t COMPREPLY < <("$@")
}

# _DarvEx_dat_files_and_folders CUR: the folders, then the *.dat files that are not folders.
_DarvEx_dat_files_and_folders() {
  local name
  compgen -d -- "$1"
  while IFS= read -r name; do
    [[ -d $name ]] || printf '%s\n' "$name"
  done < <(compgen -f -X '!*.[dD][aA][tT]' -- "$1")
}

# _DarvEx_archives CUR: what may be an archive (see the top of the file).
_DarvEx_archives() {
  _DarvEx_reply _DarvEx_dat_files_and_folders "$1"
  ((${#COMPREPLY[@]} > 0)) || _DarvEx_reply compgen -f -- "$1"
}

# _DarvEx_operands CREATING CUR: the folder to pack after -c, else archives.
_DarvEx_operands() {
  if (($1)); then
    _DarvEx_reply compgen -d -- "$2"
  else
    _DarvEx_archives "$2"
  fi
}

_DarvEx() {
  local cur=${COMP_WORDS[COMP_CWORD]} word pending="" options_over=0 creating=0 i
  COMPREPLY=()
  # Readline appends / to folders and quotes names; outside of a completion (a test calling
  # this function) compopt fails, which changes nothing here.
  compopt -o filenames 2>/dev/null

  # What the words before the cursor leave: an option waiting for its value, or options over.
  # Bash splits --directory=DIR into --directory, = and DIR (= breaks words), so a lone =
  # after an option that takes a value leaves that option waiting.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -n $pending ]]; then
      [[ $word == = ]] || pending=""
    elif [[ $word == -- ]]; then
      options_over=1
      break
    elif [[ $word == -?* ]]; then
      pending=$(_DarvEx_value_option "$word")
      # -c alone, or in a group of short options before any that takes a value.
      [[ $word == --create* || ($word == -[!-]* && ${word%%[dixj]*} == *c*) ]] && creating=1
    else
      options_over=1
      break
    fi
  done
  [[ -n $pending && $cur == = ]] && cur=""

  if [[ -n $pending ]]; then
    case $pending in
      -d | --directory) _DarvEx_reply compgen -d -- "$cur" ;;
      -c | --create | --like) _DarvEx_archives "$cur" ;;
    esac
  elif ((options_over)); then
    _DarvEx_operands "$creating" "$cur"
  elif [[ $cur == --directory=* ]]; then
    _DarvEx_reply compgen -d -P --directory= -- "${cur#--directory=}"
  elif [[ $cur == -[!-]* && ${cur:1} == *[dixjc]?* ]]; then
    # A value joined to its short option (-dDIR, -ldDIR, -j4): folders when it is -d's.
    word=${cur%%[dixjc]*}
    word=${cur:0:${#word}+1}
    [[ $word == *d ]] && _DarvEx_reply compgen -d -P "$word" -- "${cur#"$word"}"
  elif [[ $cur == -* ]]; then
    _DarvEx_reply compgen -W '-l --list -t --test -p --to-stdout --json -d --directory -i --include
      -x --exclude -n --no-overwrite --no-table -q --quiet -j --jobs --strip-components -c --create
      --like --level -h --help -V --version' -- "$cur"
  else
    _DarvEx_operands "$creating" "$cur"
  fi
  return 0
}

complete -F _DarvEx DarvEx
