#!/usr/bin/env bash
# Installs the dependencies and builds everything into ./build (or $BUILD_DIR),
# or only the targets given (./scripts/build.sh tsln2xml tsln2xml_cli).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DTSLN2XML_WERROR=ON >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" "${targets[@]}"
