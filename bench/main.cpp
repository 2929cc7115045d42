// Google Benchmark's main, and two modes of our own for bench/compare.sh:
// `tsln2xml_bench --generate AREA EXAMPLES` stores the large document of every
// data type into the storage area AREA and lists them;
// `tsln2xml_bench --compare BUILD SOURCE RUNS [--record]` prints the
// comparison table with xmllint, for which
// `tsln2xml_bench --library export|import TYPE AREA ITEM FILE` converts one
// item through the library's calls; `tsln2xml_bench --compare-batches BUILD
// SOURCE RUNS` prints the batch table.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bench/documents.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0)
    return tsln2xml::bench::GenerateDocuments(argv[2], argv[3]);
  if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "--compare") == 0)
    return tsln2xml::bench::CompareWithXmllint(argv[2], argv[3], std::max(1, std::atoi(argv[4])),
                                               argc == 6 && std::strcmp(argv[5], "--record") == 0);
  if (argc == 5 && std::strcmp(argv[1], "--compare-batches") == 0)
    return tsln2xml::bench::CompareBatches(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
  if (argc == 7 && std::strcmp(argv[1], "--library") == 0)
    return tsln2xml::bench::ConvertThroughLibrary(argv[2], argv[3], argv[4], argv[5], argv[6]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
