#!/usr/bin/env bash
# Seed corpora for the item and XML harnesses, made with the tool itself: every
# document in examples/ (imported, then taken as item bytes too) and the demo
# piece. The first byte of a seed picks the data type by its place among the
# types with an export (item harness) or an import (XML harness), so the seeds
# are made afresh for the types of the build at hand.
#
#   fuzz/make_seeds.sh build corpus
#   build-fuzz/item_to_xml_fuzzer corpus/item
#   build-fuzz/xml_to_item_fuzzer corpus/xml
set -euo pipefail
cd "$(dirname "$0")/.."
TOOL="${1:-build}/tsln2xml"
CORPUS="${2:-corpus}"
AREA=$(mktemp -d)
trap 'rm -rf "$AREA"' EXIT
mkdir -p "$CORPUS/item" "$CORPUS/xml"

# The place of a type among those whose conversions include $2.
place() {
  "$TOOL" types | awk -v name="$1" -v dir="$2" 'NR > 1 && index($0, dir) { if ($2 == name) print n; n++ }'
}

seed() {  # seed FILE PLACE INPUT
  { printf "\\$(printf '%03o' "$2")"; cat "$3"; } > "$1"
}

for dir in examples/*/; do
  type=$(basename "$dir")
  for doc in "$dir"*.xml; do
    [ -e "$doc" ] || continue
    item=$(basename "$doc" .xml)
    seed "$CORPUS/xml/$type-$item" "$(place "$type" import)" "$doc"
    "$TOOL" import "$type" "$AREA" "$item" "$doc"
    "$TOOL" raw get "$type" "$AREA" "$item" "$AREA/$type-$item.bin"
    seed "$CORPUS/item/$type-$item" "$(place "$type" export)" "$AREA/$type-$item.bin"
  done
done
"$TOOL" demo-piece "$AREA" FRONT
"$TOOL" raw get Piece "$AREA" FRONT "$AREA/piece.bin"
seed "$CORPUS/item/Piece-FRONT" "$(place Piece export)" "$AREA/piece.bin"
echo "seeds in $CORPUS/item and $CORPUS/xml"
