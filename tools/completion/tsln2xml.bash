# bash completion for tsln2xml: commands, data types and option names.
#
# Commands, their subcommands and their options are read from the command's
# own help (`tsln2xml help`, `tsln2xml help COMMAND`), and data types from
# `tsln2xml types`, so a command added to the tool completes without an edit
# here. Positions that take a file or directory fall back to bash's own file
# name completion.

# The help text of a command path ("" for the whole tool).
_tsln2xml_help() {
  "$1" help $2 2>/dev/null
}

# The names listed under "Subcommands:" of a help text.
_tsln2xml_subcommands() {
  awk '/^Subcommands:/ { on = 1; next } on && /^$/ { exit }
       on && /^  [^ -]/ { print $1 }' <<<"$1"
}

# The option names under "Options:", one a line, with " =" after those that
# take a value (CLI11 shows a value's kind, such as TEXT, after the names).
# With --long, only the last name of each option (its long one, if any).
_tsln2xml_options() {
  awk -v long="${2:-}" '/^Options:/ { on = 1; next } on && /^$/ { exit }
       on && /^  -/ {
         n = split($1, names, ",")
         takes = ($2 ~ /^[A-Z]+$/) ? " =" : ""
         for (i = long ? n : 1; i <= n; i++) print names[i] takes
       }' <<<"$1"
}

# The data type names of `tsln2xml types`.
_tsln2xml_types() {
  "$1" types 2>/dev/null | awk 'NR > 1 && $1 ~ /^[0-9]+$/ { print $2 }'
}

_tsln2xml() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local tool=${COMP_WORDS[0]}
  tool=${tool/#\~/$HOME}
  COMPREPLY=()

  # Walk the words before the cursor: the command path (a command and its
  # subcommand), and the positional arguments after it; skip options and the
  # values of options that take one.
  local path="" help commands options word i value_next="" args=()
  help=$(_tsln2xml_help "$tool" "")
  [ -n "$help" ] || return 0
  commands=$(_tsln2xml_subcommands "$help")
  options=$(_tsln2xml_options "$help")
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [ -n "$value_next" ]; then value_next=""; continue; fi
    if [[ $word == -* ]]; then
      grep -qxF -- "$word =" <<<"$options" && value_next=1
      continue
    fi
    if [ -n "$commands" ] && grep -qxF -- "$word" <<<"$commands"; then
      path="${path:+$path }$word"
      help=$(_tsln2xml_help "$tool" "$path")
      commands=$(_tsln2xml_subcommands "$help")
      options=$(_tsln2xml_options "$help")
      continue
    fi
    args+=("$word")
    commands=""
  done

  # The value of an option: data types for --type and --not-type, else files.
  if [[ $prev == -* ]] && grep -qxF -- "$prev =" <<<"$options"; then
    case $prev in
      -t | --type | -n | --not-type)
        COMPREPLY=($(compgen -W "$(_tsln2xml_types "$tool")" -- "$cur")) ;;
    esac
    return 0
  fi
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_tsln2xml_options "$help" --long | sed 's/ =$//')" -- "$cur"))
    return 0
  fi
  # `help` completes the command path it describes.
  if [ "$path" = help ]; then
    COMPREPLY=($(compgen -W "$(_tsln2xml_subcommands "$(_tsln2xml_help "$tool" "${args[*]}")")" -- "$cur"))
    return 0
  fi
  if [ -n "$commands" ]; then
    COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    return 0
  fi
  # The first argument of a command whose usage or description begins with a
  # TYPE is a data type; where the type may be left out ([TYPE] AREA), the
  # storage area's directory too.
  local name=${path##* }
  if [ ${#args[@]} -eq 0 ] && [ -n "$path" ]; then
    if grep -qE "^  $name \\[TYPE\\] " <<<"$help"; then
      COMPREPLY=($(compgen -W "$(_tsln2xml_types "$tool")" -- "$cur") $(compgen -d -- "$cur"))
    elif grep -qE "^Usage:.* TYPE( |\$)|^  $name TYPE " <<<"$help"; then
      COMPREPLY=($(compgen -W "$(_tsln2xml_types "$tool")" -- "$cur"))
    fi
  fi
  # Anything else is a storage area, an item or a file: bash's own completion.
}

complete -o bashdefault -o default -F _tsln2xml tsln2xml
