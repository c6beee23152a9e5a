// The floor: one sample's math-library calls alone, on arguments like the
// model's at each build's sample rate.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/cpu_clock.h"
#include "bench/math_floor.h"
#include "builds/sample_rate_build.h"

namespace {

void runFloor(benchmark::State& state, double fs) {
    const std::vector<FloorArguments>& args = floorArguments(fs);
    size_t k = 0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) {
        benchmark::DoNotOptimize(floorSample(args[k]));
        k = k + 1 == args.size() ? 0 : k + 1;
    }
    const double elapsed = threadCpuNanoseconds() - start;
    const double nanoseconds =
        elapsed / static_cast<double>(state.iterations());
    state.counters["ns_per_sample"] = nanoseconds;
}

struct FloorScenario {
    const char* tag;
    double fs;
};

const FloorScenario kScenarios[] = {
    {"10k", kBuild10kHz.fs},
    {"14p4k", kBuild14p4kHz.fs},
    {"4k", kBuild4kHz.fs},
};

const bool kRegistered = [] {
    for (const FloorScenario& scenario : kScenarios) {
        benchmark::RegisterBenchmark((std::string("BM_MathFloor/") + scenario.tag).c_str(),
                                     [&scenario](benchmark::State& state) {
                                         runFloor(state, scenario.fs);
                                     });
    }
    return true;
}();

}  // namespace
