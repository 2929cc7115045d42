#!/usr/bin/env bash
# Builds the Windows (x86_64, MinGW-w64) dependencies of tsln2xml from Debian's
# own source packages, static and minimal, into $WIN_BUILD_DIR/deps (default
# build-win/deps): libxml2 without iconv, zlib, lzma, http, ftp, python and
# programs; SQLite as its amalgamation. The versions are pinned here; a
# finished build is kept (deps/.done-<versions>) and reused by later runs.
#
# The source packages come through apt-get source from a deb-src entry for
# the machine's own suite (added once, /etc/apt/sources.list.d/tsln2xml-src.sources).
set -euo pipefail
cd "$(dirname "$0")/.."

LIBXML2_VERSION=2.9.14+dfsg-1.3~deb12u6
SQLITE3_VERSION=3.40.1-2+deb12u2
TRIPLET=x86_64-w64-mingw32

BUILD_DIR=$(realpath -m "${WIN_BUILD_DIR:-build-win}")
DEPS="$BUILD_DIR/deps"
PREFIX="$DEPS/prefix"
STAMP="$DEPS/.done-2-libxml2-$LIBXML2_VERSION-sqlite3-$SQLITE3_VERSION"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# The cross compilers, Wine, and what building the sources needs.
packages=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 tcl dpkg-dev zip unzip cmake ninja-build libgtest-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ -f "$STAMP" ]; then
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  fi
  echo "Windows dependencies: cached in $PREFIX"
  exit 0
fi

# A deb-src entry for the suite this machine uses.
SRC_LIST=/etc/apt/sources.list.d/tsln2xml-src.sources
need_update=0
if [ ! -f "$SRC_LIST" ]; then
  . /etc/os-release
  suite=${VERSION_CODENAME:?cannot tell the Debian suite from /etc/os-release}
  $SUDO tee "$SRC_LIST" >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

rm -rf "$DEPS"
mkdir -p "$DEPS/src" "$PREFIX/include" "$PREFIX/lib"
if ! (cd "$DEPS/src" && apt-get source -qq "libxml2=$LIBXML2_VERSION" "sqlite3=$SQLITE3_VERSION" >/dev/null); then
  # The archive keeps only a suite's current versions: once a security
  # update replaces a pinned one, take the versions the Linux build links.
  LIBXML2_VERSION=$(dpkg-query -W -f='${source:Version}' libxml2-dev)
  SQLITE3_VERSION=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
  echo "Windows dependencies: the pinned source versions are gone from the archive;" \
    "using libxml2 $LIBXML2_VERSION and sqlite3 $SQLITE3_VERSION, the Linux build's" >&2
  rm -rf "$DEPS/src" && mkdir -p "$DEPS/src"
  (cd "$DEPS/src" && apt-get source -qq "libxml2=$LIBXML2_VERSION" "sqlite3=$SQLITE3_VERSION" >/dev/null)
fi

# The compilers with POSIX threads (std::thread and std::mutex need them in GCC 12).
CC=$TRIPLET-gcc-posix
CXX=$TRIPLET-g++-posix
JOBS=${WIN_JOBS:-2}

# libxml2: its own CMake build, static (LIBXML_STATIC: its objects export
# nothing, so that the DLL exports only its own calls), the optional parts off.
xml_src=$(find "$DEPS/src" -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)
cmake -S "$xml_src" -B "$DEPS/libxml2-build" -G Ninja -Wno-dev \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$TRIPLET-windres \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS=-DLIBXML_STATIC \
  -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
  -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_PROGRAMS=OFF \
  -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_LEGACY=OFF >/dev/null
cmake --build "$DEPS/libxml2-build" -j "$JOBS" >/dev/null
cmake --install "$DEPS/libxml2-build" >/dev/null

# SQLite: the amalgamation made by the canonical tree's own makefile (tclsh
# runs its generators), then cross-compiled as one object.
sqlite_src=$(find "$DEPS/src" -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
mkdir -p "$DEPS/sqlite-build"
(cd "$DEPS/sqlite-build" && "$sqlite_src/configure" --disable-tcl >/dev/null && make -j "$JOBS" sqlite3.c >/dev/null)
$CC -O2 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_THREADSAFE=1 -DSQLITE_DEFAULT_FOREIGN_KEYS=0 \
  -c "$DEPS/sqlite-build/sqlite3.c" -o "$DEPS/sqlite-build/sqlite3.o"
$TRIPLET-ar rcs "$PREFIX/lib/libsqlite3.a" "$DEPS/sqlite-build/sqlite3.o"
cp "$DEPS/sqlite-build/sqlite3.h" "$PREFIX/include/"

touch "$STAMP"
echo "Windows dependencies: built into $PREFIX"
