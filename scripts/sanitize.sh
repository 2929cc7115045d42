#!/usr/bin/env bash
# Builds the whole test suite with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (leak detection on, every finding fatal) into
# ./build-sanitize (or $SANITIZE_BUILD_DIR) and runs it. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${SANITIZE_BUILD_DIR:-build-sanitize}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTSLN2XML_SANITIZE=ON -DTSLN2XML_BENCH=OFF -DTSLN2XML_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 2
