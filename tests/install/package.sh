#!/usr/bin/env bash
# Makes the Debian packages (tsln2xml and python3-tsln2xml), unpacks them
# into a throwaway root and runs the command and the Python package's tests
# from there; the packages declare their runtime dependencies.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/tsln2xml_*.deb)
pydeb=$(ls "$work"/out/python3-tsln2xml_*_all.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libxml2' || { echo "no libxml2 dependency"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libsqlite3-0' || { echo "no libsqlite3-0 dependency"; exit 1; }
dpkg-deb -f "$pydeb" Depends | grep -q "tsln2xml (= $(dpkg-deb -f "$deb" Version))" || { echo "python3-tsln2xml does not depend on its library"; exit 1; }
dpkg -x "$deb" "$work/root"
dpkg -x "$pydeb" "$work/root"
root=$work/root/usr
for f in bin/tsln2xml include/tsln2xml/tsln2xml.h share/tsln2xml/MARKER.XSD share/man/man1/tsln2xml.1 \
         lib/pkgconfig/tsln2xml.pc lib/cmake/tsln2xml/tsln2xmlConfig.cmake lib/libtsln2xml.so.0 \
         share/bash-completion/completions/tsln2xml share/doc/tsln2xml/copyright \
         share/doc/python3-tsln2xml/copyright lib/python3/dist-packages/tsln2xml/__init__.py; do
  [ -e "$root/$f" ] || { echo "not in the packages: $f"; exit 1; }
done
grep -q '^License: Expat' "$root/share/doc/tsln2xml/copyright" || { echo "copyright without its licence"; exit 1; }
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" types | grep -q SizeCode
mkdir "$work/area"
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" demo-marker "$work/area" DEMO
LD_LIBRARY_PATH=$root/lib "$root/bin/tsln2xml" marker "$work/area" DEMO -o "$work/DEMO.xml" --schema "$root/share/tsln2xml/MARKER.XSD"
# The packaged module finds the packaged library through the dynamic loader,
# as it finds /usr/lib once installed.
(cd "$work" && env -u TSLN2XML_LIBRARY LD_LIBRARY_PATH="$root/lib" PYTHONPATH="$root/lib/python3/dist-packages" \
  TSLN2XML_CLI="$root/bin/tsln2xml" TSLN2XML_EXPECT_MODULE_IN="$root/lib/python3/dist-packages" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider "$src/python/tests")
echo "packages unpacked and run"
