#!/usr/bin/env bash
# Installs the dependencies, builds, creates a fresh demo storage area from the
# documents in examples/ and converts every item back to XML.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
TOOL="$BUILD_DIR/tsln2xml"
AREA="$BUILD_DIR/demo-area"
OUT="$BUILD_DIR/demo-out"
rm -rf "$AREA" "$OUT"
mkdir -p "$AREA" "$OUT"

echo "== Importing the example documents into $AREA"
for dir in examples/*/; do
  type=$(basename "$dir")
  for doc in "$dir"*.xml; do
    [ -e "$doc" ] || continue
    item=$(basename "$doc" .xml)
    "$TOOL" import "$type" "$AREA" "$item" "$doc"
    echo "imported $type $item  <- $doc"
  done
done

echo "== Exporting every item back to XML in $OUT"
for dir in examples/*/; do
  type=$(basename "$dir")
  for doc in "$dir"*.xml; do
    [ -e "$doc" ] || continue
    item=$(basename "$doc" .xml)
    "$TOOL" export "$type" "$AREA" "$item" -o "$OUT/$type-$item.xml"
    echo "exported $type $item  -> $OUT/$type-$item.xml"
  done
done

echo "== One of them:"
first=$(ls "$OUT"/*.xml | head -n 1)
cat "$first"

echo "== Building the demo marker (a few pieces) in $AREA and exporting it"
"$TOOL" demo-marker "$AREA" DEMO
"$TOOL" marker "$AREA" DEMO -o "$OUT/Marker-DEMO.xml" --schema
echo "exported Marker DEMO  -> $OUT/Marker-DEMO.xml (UTF-16, checked against $BUILD_DIR/MARKER.XSD)"
echo "== Its first lines:"
iconv -f UTF-16 -t UTF-8 "$OUT/Marker-DEMO.xml" | head -n 20
"$TOOL" render Marker "$AREA" DEMO -o "$OUT/DEMO.svg"
echo "drew Marker DEMO      -> $OUT/DEMO.svg (open it in a web browser)"
echo "== Storing the demo piece in $AREA and exporting it (layout: docs/piece-format.md)"
"$TOOL" demo-piece "$AREA" FRONT
"$TOOL" export Piece "$AREA" FRONT -o "$OUT/Piece-FRONT.xml"
echo "exported Piece FRONT  -> $OUT/Piece-FRONT.xml"
"$TOOL" render Piece "$AREA" FRONT -o "$OUT/FRONT.svg"
echo "drew Piece FRONT      -> $OUT/FRONT.svg"
echo "== The items of $AREA"
"$TOOL" list "$AREA"
