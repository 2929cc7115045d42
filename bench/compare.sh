#!/usr/bin/env bash
# Prints one table: every data type's large benchmark document exported and
# imported by the tsln2xml command beside `xmllint --noout --schema` on the
# same document (processor time and peak memory, medians of alternating runs),
# and whether the results are byte for byte as recorded in bench/compare.sums.
# Then the batch table: whole storage areas (3,000 small size code documents;
# every type, 200 items each) moved by import --all and export --all beside
# xmllint validating the same documents, wall and processor time.
#
#   bench/compare.sh [--runs N] [--record] [--build DIR] [--batch-only]
#
# --record writes the current checksums to bench/compare.sums (after a change
# that is meant to change a document or an item). Exits 1 when a result
# differs from the record or a command fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
runs=5
record=""
batchOnly=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --record) record="--record"; shift ;;
    --build) build="$2"; shift 2 ;;
    --batch-only) batchOnly=1; shift ;;
    *) echo "usage: bench/compare.sh [--runs N] [--record] [--build DIR] [--batch-only]" >&2; exit 64 ;;
  esac
done
if [ ! -x "$build/tsln2xml_bench" ] || [ ! -x "$build/tsln2xml" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSLN2XML_BENCH=ON >/dev/null
  cmake --build "$build" --target tsln2xml_bench tsln2xml_cli
fi
status=0
if [ -z "$batchOnly" ]; then
  "$build/tsln2xml_bench" --compare "$build" "$root" "$runs" $record || status=1
  echo
fi
"$build/tsln2xml_bench" --compare-batches "$build" "$root" "$runs" || status=1
exit $status
