#!/usr/bin/env bash
# Prints one table: every data type's large benchmark document exported and
# imported by the tsln2xml command beside `xmllint --noout --schema` on the
# same document (processor time and peak memory, medians of alternating runs),
# and whether the results are byte for byte as recorded in bench/compare.sums.
#
#   bench/compare.sh [--runs N] [--record] [--build DIR]
#
# --record writes the current checksums to bench/compare.sums (after a change
# that is meant to change a document or an item). Exits 1 when a result
# differs from the record or a command fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
runs=5
record=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --record) record="--record"; shift ;;
    --build) build="$2"; shift 2 ;;
    *) echo "usage: bench/compare.sh [--runs N] [--record] [--build DIR]" >&2; exit 64 ;;
  esac
done
if [ ! -x "$build/tsln2xml_bench" ] || [ ! -x "$build/tsln2xml" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSLN2XML_BENCH=ON >/dev/null
  cmake --build "$build" --target tsln2xml_bench tsln2xml_cli
fi
exec "$build/tsln2xml_bench" --compare "$build" "$root" "$runs" $record
