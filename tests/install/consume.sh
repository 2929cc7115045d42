#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs the C example
# against it twice: through the CMake package and through pkg-config.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

libdir=$(dirname "$(find "$prefix" -name libtsln2xml.so -print -quit)")
for link in libtsln2xml.so libtsln2xml.so.0; do
  [ -L "$libdir/$link" ] || { echo "missing version link $link"; exit 1; }
done
[ "$(readelf -d "$libdir/libtsln2xml.so" | grep -o 'Library soname: \[[^]]*\]')" = "Library soname: [libtsln2xml.so.0]" ]
for f in include/tsln2xml/tsln2xml.h bin/tsln2xml share/tsln2xml/DATAITEMS.XSD share/tsln2xml/MARKER.XSD \
         share/tsln2xml/SIZECODE.XSD share/tsln2xml/blockbufferrulebase.xsd share/bash-completion/completions/tsln2xml \
         share/doc/tsln2xml/copyright lib/python3/dist-packages/tsln2xml/__init__.py; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done

# An area with one item, made by the installed command.
area=$work/area
mkdir -p "$area"
LD_LIBRARY_PATH=$libdir "$prefix/bin/tsln2xml" import SizeCode "$area" MISSES "$src/examples/SizeCode/MISSES.xml"

check() {
  local exe=$1
  LD_LIBRARY_PATH=$libdir "$exe" 24 "$area" MISSES > "$work/out.xml"
  grep -q '<SizeCode' "$work/out.xml" || { echo "$exe: no document"; exit 1; }
  if LD_LIBRARY_PATH=$libdir "$exe" 24 "$area" NOSUCH 2> "$work/err.txt"; then
    echo "$exe: a missing item succeeded"; exit 1
  fi
  grep -q 'failed with code 5' "$work/err.txt" || { echo "$exe: unexpected failure text"; cat "$work/err.txt"; exit 1; }
}

cmake -S "$src/examples/c" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
check "$work/with-cmake/export_item"

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -std=c11 -Wall -Werror "$src/examples/c/export_item.c" $(pkg-config --cflags --libs tsln2xml) -o "$work/export_item_pc"
check "$work/export_item_pc"
# The Python package installed beside the library: a copy through the
# document, and a failure raised with the library's code and message.
export TSLN2XML_LIBRARY=$libdir/libtsln2xml.so
export PYTHONPATH=$prefix/lib/python3/dist-packages
/usr/bin/python3 "$src/examples/python/copy_item.py" SizeCode "$area" MISSES COPY > "$work/list.txt"
grep -q 'SizeCode  *COPY ' "$work/list.txt" || { echo "python: COPY not listed"; cat "$work/list.txt"; exit 1; }
status=0
/usr/bin/python3 "$src/examples/python/copy_item.py" 24 "$area" NOSUCH OTHER 2> "$work/err.txt" || status=$?
[ "$status" = 5 ] && grep -q '^failed: .*(code 5' "$work/err.txt" || { echo "python: failure not raised ($status)"; cat "$work/err.txt"; exit 1; }
echo "installed library consumed through find_package, pkg-config and Python"
