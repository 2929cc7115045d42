#!/usr/bin/env bash
# Builds (./scripts/build.sh) and makes the Debian package of the library, the
# command, the header, the schemas, the CMake and pkg-config files and the
# manual page: build/package/tsln2xml_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
ls "$BUILD_DIR"/package/*.deb
