// The benchmark program: Google Benchmark's usual command line, then one
// table of the per-build figures that `make bench` is run for.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bench_summary.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(stderr);
    printSummary(stdout);
    return 0;
}
