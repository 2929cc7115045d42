#!/usr/bin/env bash
# Installs the dependencies, builds the library and the command (not the tests
# and benchmarks), creates a fresh demo storage area from the documents in
# examples/ (a graded men's shirt: its model, order, rule table SHIRT and
# parameters), converts every item back to XML, stores the shirt's eight
# pieces and a marker of the order, exports them, draws them and writes
# them as DXF.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh tsln2xml tsln2xml_cli
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

echo "== One of them, the order:"
cat "$OUT/Order-SPRING.xml"

echo "== Storing the shirt's pieces in $AREA and exporting them (layout: docs/piece-format.md)"
"$TOOL" demo-piece "$AREA"
for piece in FRONT BACK YOKE SLEEVE COLLAR COLLAR-STAND CUFF POCKET; do
  "$TOOL" export Piece "$AREA" "$piece" -o "$OUT/Piece-$piece.xml"
  echo "exported Piece $piece  -> $OUT/Piece-$piece.xml"
done
"$TOOL" render Piece "$AREA" FRONT -o "$OUT/FRONT.svg"

echo "== Building the marker DEMO of the order SPRING (six shirts) in $AREA and exporting it"
"$TOOL" demo-marker "$AREA" DEMO
"$TOOL" marker "$AREA" DEMO -o "$OUT/Marker-DEMO.xml" --schema
echo "exported Marker DEMO  -> $OUT/Marker-DEMO.xml (UTF-16, checked against $BUILD_DIR/MARKER.XSD)"
echo "== Its first lines:"
iconv -f UTF-16 -t UTF-8 "$OUT/Marker-DEMO.xml" | sed -n 1,20p
"$TOOL" render Marker "$AREA" DEMO -o "$OUT/DEMO.svg"
for picture in DEMO FRONT; do
  rsvg-convert -o "$OUT/$picture.png" "$OUT/$picture.svg"
done

echo "== DXF for other pattern CAD (docs/dxf.md): the eight pieces in every size with their rules, and the marker"
"$TOOL" dxf Piece "$AREA" FRONT BACK YOKE SLEEVE COLLAR COLLAR-STAND CUFF POCKET --flavour astm \
  -o "$OUT/SHIRT.dxf" --rul "$OUT/SHIRT.rul"
echo "wrote the pieces S to XXL (ASTM)  -> $OUT/SHIRT.dxf and $OUT/SHIRT.rul"
"$TOOL" dxf Marker "$AREA" DEMO -o "$OUT/DEMO.dxf"
echo "wrote the marker DEMO  -> $OUT/DEMO.dxf"

echo "== The items of $AREA"
"$TOOL" list "$AREA"

echo
echo "Documents:  $OUT/<Type>-<Item>.xml (every example back from the area), $OUT/Piece-*.xml,"
echo "            $OUT/Marker-DEMO.xml"
echo "Pictures:   $OUT/DEMO.svg and DEMO.png (the marker), $OUT/FRONT.svg and FRONT.png (the front)"
echo "DXF:        $OUT/SHIRT.dxf with SHIRT.rul (the pieces, graded), $OUT/DEMO.dxf (the marker)"
echo "Storage area: $AREA"
