// One sample of the model in-process: mdlOutputs plus mdlUpdate, called
// through the record's method slots as the host calls them, on a steady
// signal after the channels have settled on its frequency. The window
// length (one period of the tuning frequency) must not change the cost:
// the 10 kHz build also runs at 25 Hz (the longest window) and 65 Hz.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/cpu_clock.h"
#include "bench/math_floor.h"
#include "bench/steady_signal.h"
#include "host/in_process_driver.h"
#include "model/model_entry.h"

namespace {

struct Scenario {
    const char* name;
    const ModelEntry* entry;
    double signalFrequency;
    double nominalFrequency;
};

// Lowest nominal frequency the model accepts: its range reaches down to 25 Hz.
constexpr double kLowestNominal = 35.714285714285715;

void runModel(benchmark::State& state, const Scenario& scenario) {
    const SampleRateBuild& build = *scenario.entry->build;
    const SteadySecond second = steadySecond(build, scenario.signalFrequency);
    const size_t samplesPerSecond = second.samples;
    const std::vector<double>& phases = second.phases;
    const std::vector<double>& offsets = second.offsets;

    InProcessDriver driver(scenario.entry->installMethods, build.sfunctionName);
    if (!driver.start()) {
        state.SkipWithError(("the block did not start: " + driver.error()).c_str());
        return;
    }
    ModelInputs in;
    in.nominalFrequency = scenario.nominalFrequency;
    ModelOutputs out;
    // Two seconds through the host's road, to let both channels restart on
    // the signal's frequency and settle.
    double wholeSeconds = 0.0;
    for (; wholeSeconds < 2.0; wholeSeconds += 1.0) {
        for (size_t k = 0; k < samplesPerSecond; ++k) {
            std::memcpy(in.phase, &phases[3 * k], sizeof in.phase);
            in.time = wholeSeconds + offsets[k];
            if (!driver.step(in, out)) {
                state.SkipWithError(("the block stopped: " + driver.error()).c_str());
                return;
            }
        }
    }

    // From here only the two ports that change per sample are written.
    BlockRecord& record = driver.record();
    SimStruct* S = record.simStruct();
    double* phasePort = static_cast<double*>(record.inputBuffer(0));
    double* timePort = static_cast<double*>(record.inputBuffer(1));
    size_t k = 0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) {
        std::memcpy(phasePort, &phases[3 * k], 3 * sizeof(double));
        *timePort = wholeSeconds + offsets[k];
        S->methods.mdlOutputs(S, 0);
        S->methods.mdlUpdate(S, 0);
        if (++k == samplesPerSecond) {
            k = 0;
            wholeSeconds += 1.0;
        }
    }
    const double elapsed = threadCpuNanoseconds() - start;
    const double nanoseconds =
        elapsed / static_cast<double>(state.iterations());
    const BlockSignals* signals = scenario.entry->blockSignals(S);
    state.counters["ns_per_sample"] = nanoseconds;
    state.counters["x_floor"] = nanoseconds / floorNanosecondsPerSample(build.fs);
    state.counters["tuning_hz"] = signals == nullptr ? 0.0 : signals->B[0];
    driver.finish();
}

const Scenario kScenarios[] = {
    {"10k/50Hz", &model_10k::kModelEntry, 50.0, 50.0},
    {"14p4k/50Hz", &model_14p4k::kModelEntry, 50.0, 50.0},
    {"4k/50Hz", &model_4k::kModelEntry, 50.0, 50.0},
    {"10k/25Hz_window_40ms", &model_10k::kModelEntry, 25.0, kLowestNominal},
    {"10k/65Hz_window_15ms", &model_10k::kModelEntry, 65.0, 50.0},
};

const bool kRegistered = [] {
    for (const Scenario& scenario : kScenarios) {
        benchmark::RegisterBenchmark((std::string("BM_ModelStep/") + scenario.name).c_str(),
                                     [&scenario](benchmark::State& state) { runModel(state, scenario); });
    }
    return true;
}();

}  // namespace
