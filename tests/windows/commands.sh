#!/usr/bin/env bash
# The Windows command and C example host under Wine, against the Linux build:
#   tests/windows/commands.sh WIN_BUILD_DIR LINUX_BUILD_DIR
# Every example document is imported by both builds; the stored bytes (raw
# get) and the exported documents must be the same byte for byte, and each
# build must read the other's storage area. Storage areas are given to the
# Windows command as drive-letter paths (Z: is the root of this machine).
set -euo pipefail
WIN=$(realpath "$1")
LINUX=$(realpath "$2")
SRC=$(realpath "$(dirname "$0")/../..")
WINE=/usr/lib/wine/wine64
# The Wine prefix of the Windows build folder (scripts/windows-test.sh makes it).
export WINEPREFIX=${WINEPREFIX:-$WIN/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
[ -x "$LINUX/tsln2xml" ] || { echo "the Linux build is needed in $LINUX (./scripts/build.sh)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
win() { LC_ALL=C.UTF-8 "$WINE" "$WIN/tsln2xml.exe" "$@"; }
lin() { "$LINUX/tsln2xml" "$@"; }
# The Windows name of a path on this machine.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

mkdir "$work/win" "$work/linux" "$work/win-docs" "$work/linux-docs" "$work/win-raw" "$work/linux-raw"
WAREA=$(winpath "$work/win")

# Every example, imported by both builds.
win import --all "$WAREA" -d "$(winpath "$SRC/examples")" >"$work/win-import.log" || fail "Windows import --all: $(tail -n 3 "$work/win-import.log")"
lin import --all "$work/linux" -d "$SRC/examples" >/dev/null || fail "Linux import --all"

# The stored bytes of every item, read by each build from its own area.
count=0
for doc in "$SRC"/examples/*/*.xml; do
  type=$(basename "$(dirname "$doc")")
  item=$(basename "$doc" .xml)
  win raw get "$type" "$WAREA" "$item" "$(winpath "$work/win-raw/$type-$item.bin")" >/dev/null || fail "Windows raw get $type $item"
  lin raw get "$type" "$work/linux" "$item" "$work/linux-raw/$type-$item.bin" >/dev/null
  cmp -s "$work/win-raw/$type-$item.bin" "$work/linux-raw/$type-$item.bin" || fail "$type $item: stored bytes differ"
  count=$((count + 1))
done
echo "stored bytes the same on both: $count items"

# The documents exported on Windows are those of the Linux build.
win export --all "$WAREA" -d "$(winpath "$work/win-docs")" >/dev/null || fail "Windows export --all"
lin export --all "$work/linux" -d "$work/linux-docs" >/dev/null
diff -r "$work/win-docs" "$work/linux-docs" >/dev/null || fail "exported documents differ: $(diff -rq "$work/win-docs" "$work/linux-docs" | head -n 3)"

# Each build reads the other's catalogs.
lin list "$work/win" --xml "$work/list-of-win.xml" >/dev/null || fail "Linux list of the Windows area"
lin list "$work/linux" --xml "$work/list-of-linux.xml" >/dev/null
[ "$(grep -c '<' "$work/list-of-win.xml")" = "$(grep -c '<' "$work/list-of-linux.xml")" ] || fail "the areas list different items"
win export SizeCode "$(winpath "$work/linux")" MISSES -o "$(winpath "$work/from-linux.xml")" >/dev/null || fail "Windows export from the Linux area"
cmp -s "$work/from-linux.xml" "$work/linux-docs/SizeCode/MISSES.xml" || fail "Windows export of the Linux area's item differs"

# The demo shirt and its marker, made by each build, as DXF files: the same
# bytes on both but for the creation date and time of the header and the rule
# file (the GoogleTest suite's DXF checks read files with ezdxf, which runs on
# Linux only, so these files are compared with the Linux build's instead).
pieces=(FRONT BACK YOKE SLEEVE COLLAR COLLAR-STAND CUFF POCKET)
win demo-piece "$WAREA" >/dev/null && win demo-marker "$WAREA" DEMO >/dev/null || fail "Windows demo-piece or demo-marker"
lin demo-piece "$work/linux" >/dev/null && lin demo-marker "$work/linux" DEMO >/dev/null
win dxf Piece "$WAREA" "${pieces[@]}" --flavour astm -o "$(winpath "$work/win-SHIRT.dxf")" \
  --rul "$(winpath "$work/win-SHIRT.rul")" >/dev/null || fail "Windows dxf Piece"
lin dxf Piece "$work/linux" "${pieces[@]}" --flavour astm -o "$work/linux-SHIRT.dxf" --rul "$work/linux-SHIRT.rul" >/dev/null
win dxf Marker "$WAREA" DEMO -o "$(winpath "$work/win-DEMO.dxf")" >/dev/null || fail "Windows dxf Marker"
lin dxf Marker "$work/linux" DEMO -o "$work/linux-DEMO.dxf" >/dev/null
undated() { grep -v -i -e 'CREATION DATE' -e 'CREATION TIME' "$1"; }
for f in SHIRT.dxf SHIRT.rul DEMO.dxf; do
  [ -s "$work/linux-$f" ] || fail "the Linux build wrote no $f"
  cmp -s <(undated "$work/win-$f") <(undated "$work/linux-$f") || fail "$f differs: $(diff <(undated "$work/win-$f") <(undated "$work/linux-$f") | head -n 4)"
done

# Standard output carries the document's bytes as they are (no CR/LF).
win export SizeCode "$WAREA" MISSES >"$work/win-stdout.xml" || fail "Windows export to standard output"
lin export SizeCode "$work/linux" MISSES >"$work/linux-stdout.xml"
cmp -s "$work/win-stdout.xml" "$work/linux-stdout.xml" || fail "Windows export on standard output differs"

# A name beyond ASCII, given as UTF-16 (wmain) and stored in code page 1252.
win import SizeCode "$WAREA" "CAFÉ" "$(winpath "$SRC/examples/SizeCode/MISSES.xml")" >/dev/null || fail "Windows import of CAFÉ"
TSLN2XML_CODEPAGE=1252 lin raw get SizeCode "$work/win" "CAFÉ" "$work/cafe.bin" >/dev/null || fail "Linux reads CAFÉ from the Windows area"
cmp -s "$work/cafe.bin" "$work/linux-raw/SizeCode-MISSES.bin" || fail "CAFÉ's bytes differ"
TSLN2XML_CODEPAGE=1252 lin list "$work/win" | grep -q 'CAFÉ' || fail "the Linux list of the Windows area does not show CAFÉ"
sqlite3 "$work/win/sizpt.ctl" "SELECT hex(name) FROM items" 2>/dev/null | grep -qx '434146C9' ||
  fail "CAFÉ is not stored as the code page 1252 bytes 43 41 46 C9"

# Folders and files named beyond ASCII: Latin-1 names in code page 1252, and
# names that the system's ANSI code page (1252 under Wine) lacks, in the code
# page that holds them (Polish in 1250, Japanese in 932). Every command that
# takes a path finds and makes them as named, with the Linux build's results.
mkdir "$work/linux-names"
lin demo-piece "$work/linux-names" >/dev/null && lin demo-marker "$work/linux-names" DEMO >/dev/null
lin render Piece "$work/linux-names" FRONT -o "$work/linux-FRONT.svg" >/dev/null
lin marker "$work/linux-names" DEMO -o "$work/linux-DEMO-marker.xml" >/dev/null
lin dxf Piece "$work/linux-names" "${pieces[@]}" --flavour astm --units cm -o "$work/linux-names.dxf" \
  --rul "$work/linux-names.rul" >/dev/null
for case in "1252:Daten/Müller/Größen:Größe-38" "1250:Dane/Łódź:Łata-38" "932:データ/寸法:型紙-38"; do
  IFS=: read -r cp dir name <<<"$case"
  base="$work/names-$cp/$dir"
  mkdir -p "$base/area" "$base/Schemata ${dir##*/}"
  A=$(winpath "$base/area")
  at() { winpath "$base/$1"; }
  w() { TSLN2XML_CODEPAGE=$cp win "$@"; }
  cp "$SRC/examples/SizeCode/MISSES.xml" "$base/$name.xml"
  cp "$WIN/MARKER.XSD" "$WIN/BLOCKBUFFERRULEBASE.XSD" "$base/Schemata ${dir##*/}/"
  w import SizeCode "$A" MISSES "$(at "$name.xml")" >/dev/null || fail "$cp: import from $dir/$name.xml"
  [ -f "$base/area/sizpt.ctl" ] || fail "$cp: the catalog is not in $dir/area: $(ls -R "$work/names-$cp" | head -n 5)"
  w export SizeCode "$A" MISSES -o "$(at "$name-out.xml")" >/dev/null || fail "$cp: export -o $name-out.xml"
  cmp -s "$base/$name-out.xml" "$work/linux-docs/SizeCode/MISSES.xml" || fail "$cp: the exported document differs"
  w export --all "$A" -d "$(at "$name-docs")" >/dev/null || fail "$cp: export --all -d $name-docs"
  cmp -s "$base/$name-docs/SizeCode/MISSES.xml" "$work/linux-docs/SizeCode/MISSES.xml" || fail "$cp: export --all wrote another document"
  w import --all "$A" -d "$(at "$name-docs")" >/dev/null || fail "$cp: import --all -d $name-docs"
  w raw get SizeCode "$A" MISSES "$(at "$name.bin")" >/dev/null || fail "$cp: raw get"
  cmp -s "$base/$name.bin" "$work/linux-raw/SizeCode-MISSES.bin" || fail "$cp: raw get gave other bytes"
  w raw put SizeCode "$A" COPY "$(at "$name.bin")" >/dev/null || fail "$cp: raw put"
  w list "$A" | grep -q '^COPY ' || fail "$cp: list does not show the item put"
  w demo-piece "$A" >/dev/null && w demo-marker "$A" DEMO >/dev/null || fail "$cp: demo-piece or demo-marker"
  w render Piece "$A" FRONT -o "$(at "$name.svg")" >/dev/null || fail "$cp: render -o $name.svg"
  cmp -s "$base/$name.svg" "$work/linux-FRONT.svg" || fail "$cp: the picture differs from the Linux one"
  w dxf Piece "$A" "${pieces[@]}" --flavour astm --units cm -o "$(at "$name.dxf")" --rul "$(at "$name.rul")" >/dev/null ||
    fail "$cp: dxf -o $name.dxf --rul $name.rul"
  cmp -s <(undated "$base/$name.dxf") <(undated "$work/linux-names.dxf") &&
    cmp -s <(undated "$base/$name.rul") <(undated "$work/linux-names.rul") || fail "$cp: the DXF or rule file differs"
  w marker "$A" DEMO -o "$(at "$name-marker.xml")" --schema "$(at "Schemata ${dir##*/}/MARKER.XSD")" >"$work/marker.log" 2>&1 ||
    fail "$cp: marker --schema in 'Schemata ${dir##*/}': $(head -n 3 "$work/marker.log")"
  cmp -s "$base/$name-marker.xml" "$work/linux-DEMO-marker.xml" || fail "$cp: the marker document differs"
  # A marker on standard output goes through a file in the temporary folder
  # (TMP, which Wine sets for its programs: set here through cmd.exe).
  mkdir "$base/tmp"
  TSLN2XML_CODEPAGE=$cp LC_ALL=C.UTF-8 "$WINE" cmd /c "set TMP=$(at tmp)&& $(winpath "$WIN/tsln2xml.exe") marker $A DEMO" \
    >"$base/stdout-marker.xml" 2>"$work/marker.log" || fail "$cp: marker to standard output: $(head -n 3 "$work/marker.log")"
  cmp -s "$base/stdout-marker.xml" "$work/linux-DEMO-marker.xml" || fail "$cp: the marker on standard output differs"
  [ -z "$(ls -A "$base/tmp")" ] || fail "$cp: the marker left a file in the temporary folder: $(ls -A "$base/tmp")"
done

# Failures keep their codes.
set +e
win export SizeCode "$WAREA" NOSUCHITEM >/dev/null 2>"$work/err"; code=$?
set -e
[ $code -eq 5 ] || fail "a missing item exits with $code, not 5"
grep -q 'NOSUCHITEM' "$work/err" || fail "a missing item is not named: $(cat "$work/err")"
set +e
win export NoSuchType "$WAREA" MISSES >/dev/null 2>&1; code=$?
set -e
[ $code -eq 64 ] || fail "an unknown type exits with $code, not 64"

# The C example host: LoadLibrary, the exports, SysFreeString.
(cd "$WIN" && "$WINE" ./export_item.exe 24 "$WAREA" MISSES) >"$work/host.xml" || fail "export_item.exe"
# The same program built for Linux gives the same text from the same item
# (its standard output is text, so Windows ends its lines with CR LF).
cc -I"$SRC/include" "$SRC/examples/c/export_item.c" -L"$LINUX" -ltsln2xml -o "$work/export_item"
LD_LIBRARY_PATH="$LINUX" "$work/export_item" 24 "$work/win" MISSES >"$work/host-linux.xml"
grep -q 'MISSES' "$work/host.xml" && cmp -s <(tr -d '\r' <"$work/host.xml") "$work/host-linux.xml" ||
  fail "export_item.exe printed another document than on Linux: $(head -c 300 "$work/host.xml")"
set +e
(cd "$WIN" && "$WINE" ./export_item.exe 24 "$WAREA" NOSUCHITEM) >/dev/null 2>"$work/host.err"; code=$?
set -e
[ $code -eq 5 ] || fail "export_item.exe of a missing item exits with $code, not 5"
grep -q 'failed with code 5' "$work/host.err" || fail "export_item.exe gave no last error: $(cat "$work/host.err")"

# The DLL exports the calls of the .def, undecorated, and nothing else: the
# thirteen of tsln2xml.h and ExportDXF of dxf.h.
exports=$(x86_64-w64-mingw32-objdump -p "$WIN/tsln2xml.dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p' | sort)
listed=$(sed -n 's/^  *\([A-Za-z]\)/\1/p' "$SRC/cmake/tsln2xml.def" | sort)
[ "$exports" = "$listed" ] && [ "$(echo "$exports" | wc -l)" -eq 14 ] &&
  echo "$exports" | grep -qx ExportDXF ||
  fail "the DLL exports differ from tsln2xml.def: $(diff <(echo "$exports") <(echo "$listed") | head -n 4)"

# The header compiles for Windows hosts in C and in C++ (BSTR from wtypes.h).
for lang in c c++; do
  printf '#include <tsln2xml/tsln2xml.h>\nint TSLN2XML_CALL Use(BSTR* xml) { SysFreeString(*xml); return ConvertDataItemToXMLString(24, "", "A", "B", xml, 0); }\n' |
    x86_64-w64-mingw32-gcc-posix -x "$lang" -fsyntax-only -Wall -Wextra -Werror -I"$SRC/include" - ||
    fail "the header does not compile as $lang for Windows"
done

# The zip works where it is unpacked: the command finds MARKER.XSD in its
# schemas folder, and no two names in it differ by case alone.
zip=$(ls "$WIN"/tsln2xml-*-win64.zip)
[ -z "$(unzip -Z1 "$zip" | tr '[:upper:]' '[:lower:]' | sort | uniq -d)" ] || fail "names in the zip differ by case alone"
unzip -q "$zip" -d "$work/unpacked"
pkg=$(ls -d "$work"/unpacked/tsln2xml-*-win64)
"$WINE" "$pkg/tsln2xml.exe" demo-marker "$WAREA" DEMO >/dev/null || fail "the zip's command: demo-marker"
"$WINE" "$pkg/tsln2xml.exe" marker "$WAREA" DEMO -o "$(winpath "$work/DEMO.xml")" --schema >"$work/marker.log" 2>&1 ||
  fail "the zip's command: marker --schema: $(head -n 3 "$work/marker.log")"

# Pictures are written whole or not at all (ReplaceFileW over an existing
# file, MoveFileExW to a new one), the same bytes as on Linux.
for round in new existing; do
  win render Marker "$WAREA" DEMO -o "$(winpath "$work/DEMO.svg")" >/dev/null 2>&1 || fail "render to a $round file"
done
lin render Marker "$work/win" DEMO -o "$work/DEMO-linux.svg" >/dev/null 2>&1
cmp -s "$work/DEMO.svg" "$work/DEMO-linux.svg" || fail "the Windows picture differs from the Linux one"
set +e
win render Marker "$WAREA" DEMO -o "$(winpath "$work/no-such-dir/DEMO.svg")" >/dev/null 2>"$work/render.err"; code=$?
set -e
[ $code -eq 5 ] || fail "a picture into a missing folder exits with $code, not 5: $(head -n 3 "$work/render.err")"
[ -z "$(find "$work" -maxdepth 1 -name '*.part')" ] || fail "a picture left a part file: $(ls "$work")"

if [ $failures -ne 0 ]; then
  echo "$failures Windows command checks failed"
  exit 1
fi
echo "Windows command checks passed"
