#!/usr/bin/env bash
# Makes the Debian package, unpacks it into a throwaway root and runs the
# command from there; the package declares its runtime dependencies.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libxml2' || { echo "no libxml2 dependency"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libsqlite3-0' || { echo "no libsqlite3-0 dependency"; exit 1; }
dpkg -x "$deb" "$work/root"
root=$work/root/usr
for f in bin/tsln2xml include/tsln2xml/tsln2xml.h share/tsln2xml/MARKER.XSD share/man/man1/tsln2xml.1 \
         lib/pkgconfig/tsln2xml.pc lib/cmake/tsln2xml/tsln2xmlConfig.cmake lib/libtsln2xml.so.0; do
  [ -e "$root/$f" ] || { echo "not in the package: $f"; exit 1; }
done
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" types | grep -q SizeCode
mkdir "$work/area"
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" demo-marker "$work/area" DEMO
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" marker "$work/area" DEMO -o "$work/DEMO.xml" --schema "$root/share/tsln2xml/MARKER.XSD"
echo "package unpacked and run"
