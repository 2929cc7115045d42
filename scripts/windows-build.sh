#!/usr/bin/env bash
# Cross-builds tsln2xml for 64-bit Windows with MinGW-w64 into ./build-win (or
# $WIN_BUILD_DIR): tsln2xml.dll, its import library tsln2xml.lib and the .def
# of its exports, tsln2xml.exe, the tests and the C example host, and the zip
# tsln2xml-<version>-win64.zip of the DLL, the command, the schemas and the
# header. The dependencies are built once by scripts/windows-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/windows-deps.sh
BUILD_DIR=$(realpath -m "${WIN_BUILD_DIR:-build-win}")
mkdir -p "$BUILD_DIR/host"

# The schema embedder runs on this machine while the rest is built for Windows.
EMBED="$BUILD_DIR/host/embed_schemas"
if [ ! -x "$EMBED" ] || [ tools/embed_schemas.cpp -nt "$EMBED" ]; then
  g++ -std=c++20 -O2 tools/embed_schemas.cpp -o "$EMBED"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DTSLN2XML_WERROR=ON \
  -DTSLN2XML_WIN_DEPS="$BUILD_DIR/deps/prefix" -DTSLN2XML_HOST_EMBED="$EMBED" "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "${WIN_JOBS:-2}"

# The zip: the DLL, its import library and .def, the command, the header, the
# schemas and the C example.
version=$(sed -n 's/^project(tsln2xml VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage="$BUILD_DIR/zip/tsln2xml-$version-win64"
rm -rf "$BUILD_DIR/zip" "$BUILD_DIR/tsln2xml-$version-win64.zip"
cmake --install "$BUILD_DIR" --prefix "$stage" >/dev/null
x86_64-w64-mingw32-strip --strip-debug "$stage"/*.dll "$stage"/*.exe
(cd "$BUILD_DIR/zip" && zip -qr "../tsln2xml-$version-win64.zip" "tsln2xml-$version-win64")
echo "$BUILD_DIR/tsln2xml-$version-win64.zip"
