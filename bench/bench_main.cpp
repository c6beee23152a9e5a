// The benchmark program: Google Benchmark's usual command line, then one
// table of the per-build figures that `make bench` is run for. The table is
// taken from the runs as they are reported, so the benchmark library's own
// calibration runs never enter it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench/bench_summary.h"

namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : benchmark::ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const auto counter = run.counters.find("ns_per_sample");
            if (counter == run.counters.end()) continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") continue;
            recordRun(run.run_name.str(), aggregate, counter->second.value);
        }
        benchmark::ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::fflush(stdout);
    printSummary(stdout);
    return 0;
}
