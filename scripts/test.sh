#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test; then cross-builds for
# Windows and runs those tests under Wine (scripts/windows-test.sh); then runs
# the whole suite again built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitize.sh), and builds once more in
# Release with clang, warnings as errors (scripts/release-build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 2
# The Windows build, cross-compiled with MinGW-w64, and its tests under Wine.
./scripts/windows-test.sh
./scripts/sanitize.sh
./scripts/release-build.sh
