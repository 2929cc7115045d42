#!/usr/bin/env bash
# Writes the seed corpora in fuzz/corpus/<harness>/ with the tool itself, so
# they follow format changes:
#   xml_to_item_fuzzer  every document in examples/ with its root's Name
#                       made "FUZZ", the item name the harnesses use (the
#                       root's namespace names the type);
#   item_to_xml_fuzzer, store_item_fuzzer
#                       the items those documents import to, and the demo
#                       piece, each behind one byte holding the type code;
#   marker_fuzzer       the demo marker's data;
#   item_list_fuzzer    the catalogs these items are stored in (size codes,
#                       models, pieces, markers) and an empty one, each behind
#                       one byte holding the type code.
# Found inputs kept beside them (named finding-*) and hand-made catalogs
# (hostile-*) are left alone.
#
#   fuzz/make_seeds.sh [build]
set -euo pipefail
cd "$(dirname "$0")/.."
TOOL="${1:-build}/tsln2xml"
CORPUS=fuzz/corpus
AREA=$(mktemp -d)
trap 'rm -rf "$AREA"' EXIT
for h in xml_to_item_fuzzer item_to_xml_fuzzer store_item_fuzzer marker_fuzzer item_list_fuzzer; do
  mkdir -p "$CORPUS/$h"
  find "$CORPUS/$h" -type f ! -name 'finding-*' ! -name 'hostile-*' -delete
done

code() { "$TOOL" types | awk -v name="$1" 'NR > 1 && $2 == name { print $1 }'; }

type_byte() { printf "\\$(printf '%03o' "$(code "$1")")"; }

item_seed() {  # item_seed TYPE NAME ITEM-FILE
  for h in item_to_xml_fuzzer store_item_fuzzer; do
    { type_byte "$1"; cat "$3"; } > "$CORPUS/$h/$1-$2"
  done
}

catalog_seed() {  # catalog_seed TYPE CATALOG-FILE
  { type_byte "$1"; cat "$2"; } > "$CORPUS/item_list_fuzzer/$1"
}

for dir in examples/*/; do
  type=$(basename "$dir")
  for doc in "$dir"*.xml; do
    [ -e "$doc" ] || continue
    item=$(basename "$doc" .xml)
    sed '0,/ Name="[^"]*"/s// Name="FUZZ"/' "$doc" > "$CORPUS/xml_to_item_fuzzer/$type-$item.xml"
    "$TOOL" import "$type" "$AREA" "$item" "$doc"
    "$TOOL" raw get "$type" "$AREA" "$item" "$AREA/item.bin"
    item_seed "$type" "$item" "$AREA/item.bin"
  done
done
"$TOOL" demo-piece "$AREA" FRONT
"$TOOL" raw get Piece "$AREA" FRONT "$AREA/item.bin"
item_seed Piece FRONT "$AREA/item.bin"
"$TOOL" demo-marker "$AREA" DEMO
"$TOOL" raw get Marker "$AREA" DEMO "$CORPUS/marker_fuzzer/demo"
catalog_seed SizeCode "$AREA/sizpt.ctl"
catalog_seed Model "$AREA/model.ctl"
catalog_seed Piece "$AREA/piece.ctl"
catalog_seed Marker "$AREA/marker.ctl"
type_byte SizeCode > "$CORPUS/item_list_fuzzer/empty"
echo "seeds in $CORPUS"
