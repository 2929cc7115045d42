#!/usr/bin/env bash
# The bash completion: each line of the table is a command line up to the
# cursor and the words completion must offer (all of them, in any order), or
# "~ words" for words that must be among those offered. A fake tool with a
# command of its own checks that commands and options come from the tool's help.
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../../tools/completion/tsln2xml.bash
source "$src/tools/completion/tsln2xml.bash"
cd "$work" && mkdir areadir

offered() {  # the line up to the cursor; a trailing blank starts a new word
  local line=$1
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=()
  _tsln2xml
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
check() {
  local line=$1 expected=$2 got
  got=$(offered "$line")
  if [[ $expected == "~ "* ]]; then
    for w in ${expected#\~ }; do
      grep -qw -- "$w" <<<"$got" || { echo "FAIL: '$line' offers '$got', without $w"; failures=$((failures + 1)); }
    done
  elif [ "$got" != "$(tr ' ' '\n' <<<"$expected" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//')" ]; then
    echo "FAIL: '$line' offers '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

T=$build/tsln2xml
while IFS='|' read -r line expected; do
  [ -z "$line" ] || [[ $line == \#* ]] && continue
  check "${line/T /$T }" "$expected"
done <<'TABLE'
# commands, hidden ones left out
T |~ export import raw types list marker demo-marker demo-piece render help
T ex|export
T ma|marker
T raw |get put
T raw p|put
T --v|--version
# options, with and without a value
T export -|~ --output --dir --all --help
T list /tmp --ty|--type
T list -t SizeCode --x|--xml
T marker /tmp DEMO --s|--schema
# data types where a TYPE goes, and for --type
T raw get Siz|SizeCode
T render P|Piece PieceList PiecePlotEnvironment Plot
T export Si|SizeCode
T export area|areadir
T export -o out.xml Si|SizeCode
T import --all Gr|Grading
T list /tmp --type Mo|Model
T list --not-type Order /tmp -n Ord|Order
# files and items: left to bash
T raw get SizeCode |
T list |
T marker |
T export SizeCode /tmp/area |
# help describes commands and subcommands
T help |~ export import raw types list render
T help ra|raw
T help raw |get put
TABLE

# A tool with a command this file has never heard of.
cat > "$work/fake" <<'FAKE'
#!/bin/sh
case "$*" in
  "help") printf 'Usage: fake [OPTIONS] SUBCOMMAND\n\nOptions:\n  -h,--help   Help\n\nSubcommands:\n  export   Export\n  dxf      Write DXF\n\n' ;;
  "help dxf") printf 'Usage: fake dxf [OPTIONS] TYPE AREA NAME\n\nOptions:\n  -h,--help   Help\n  -o,--output TEXT   File\n  -j,--jobs INT   Jobs\n\n' ;;
  "types") printf 'CODE  NAME\n9     Marker\n20    Piece\n' ;;
esac
FAKE
chmod +x "$work/fake"
T=$work/fake
while IFS='|' read -r line expected; do
  check "${line/T /$T }" "$expected"
done <<'TABLE'
T d|dxf
T dxf -|--help --jobs --output
T dxf -j 2 |Marker Piece
T dxf -o x.dxf P|Piece
TABLE

[ "$failures" -eq 0 ] && echo "completion: every case passed"
exit "$((failures > 0))"
