// The floor: one sample's math-library calls alone.
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/math_floor.h"

namespace {

void BM_MathFloor(benchmark::State& state) {
    const std::vector<FloorArguments>& args = floorArguments();
    size_t k = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(floorSample(args[k]));
        k = k + 1 == args.size() ? 0 : k + 1;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    state.counters["ns_per_sample"] = std::chrono::duration<double, std::nano>(elapsed).count() /
                                      static_cast<double>(state.iterations());
}
BENCHMARK(BM_MathFloor);

}  // namespace
