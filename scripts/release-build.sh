#!/usr/bin/env bash
# Builds everything (library, command, tests, benchmarks) once more in Release
# with warnings as errors, with clang by default (CC/CXX choose another
# compiler), into ./build-release-<compiler> — so that neither compiler's
# warnings at full optimisation can creep in. Nothing is run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
CC=${CC:-clang}
CXX=${CXX:-clang++}
BUILD_DIR=${RELEASE_BUILD_DIR:-build-release-$(basename "$CC")}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
  -DTSLN2XML_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR"
