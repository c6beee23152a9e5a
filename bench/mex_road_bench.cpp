// One sample of a loaded deliverable driven through its mexFunction, as the
// simulation host drives it: flag 104 (mdlOutputs) then flag 105
// (mdlUpdate) on the method road, the SimStruct handed over in plhs[1] and
// the flag in prhs[3]. The host builds its argument arrays once per run;
// per sample it writes the two input ports that change and makes the two
// calls through its call boundary.
//
// BM_HostDriver measures our substitute host's whole per-sample road as
// `orvane run` uses it (all seven inputs written, outputs read, a call scope
// and fresh argument arrays per call): the deliverable's share plus the
// host's own.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench/cpu_clock.h"
#include "bench/deliverable_path.h"
#include "bench/math_floor.h"
#include "bench/steady_signal.h"
#include "contract/mex.h"
#include "host/mex_driver.h"
#include "host/mex_call_scope.h"
#include "model/model_entry.h"

namespace {

struct MexScenario {
    const char* tag;
    const ModelEntry* entry;
};

constexpr double kSignalFrequency = 50.0;

// Loads the build's deliverable and runs two seconds through the host's
// road, so that both channels have restarted on the signal and settled.
// Null, with the benchmark skipped, when anything fails.
std::unique_ptr<MexDriver> settledDriver(benchmark::State& state, const SampleRateBuild& build,
                                         const SteadySecond& second, double& wholeSeconds) {
    std::string error;
    std::unique_ptr<MexDriver> driver = MexDriver::open(benchDeliverablePath(build.sfunctionName), error);
    if (driver == nullptr) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    if (!driver->start()) {
        state.SkipWithError(("the block did not start: " + driver->error()).c_str());
        return nullptr;
    }
    ModelInputs in;
    ModelOutputs out;
    for (wholeSeconds = 0.0; wholeSeconds < 2.0; wholeSeconds += 1.0) {
        for (std::size_t k = 0; k < second.samples; ++k) {
            std::memcpy(in.phase, &second.phases[3 * k], sizeof in.phase);
            in.time = wholeSeconds + second.offsets[k];
            if (!driver->step(in, out)) {
                state.SkipWithError(("the block stopped: " + driver->error()).c_str());
                return nullptr;
            }
        }
    }
    return driver;
}

void reportFigure(benchmark::State& state, const MexScenario& scenario, double elapsed) {
    const double nanoseconds =
        elapsed / static_cast<double>(state.iterations());
    const double floor = floorNanosecondsPerSample(scenario.entry->build->fs);
    state.counters["ns_per_sample"] = nanoseconds;
    state.counters["x_floor"] = nanoseconds / floor;
}

void runMexFunction(benchmark::State& state, const MexScenario& scenario) {
    const SampleRateBuild& build = *scenario.entry->build;
    const SteadySecond second = steadySecond(build, kSignalFrequency);
    double wholeSeconds = 0.0;
    std::unique_ptr<MexDriver> driver = settledDriver(state, build, second, wholeSeconds);
    if (driver == nullptr) return;

    MexBlock& block = driver->block();
    SimStruct* S = block.simStruct();
    double* phasePort = static_cast<double*>(block.record().inputBuffer(0));
    double* timePort = static_cast<double*>(block.record().inputBuffer(1));
    std::string error;
    const std::shared_ptr<Deliverable> deliverable = Deliverable::open(benchDeliverablePath(build.sfunctionName), error);
    if (deliverable == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }

    // The arrays live for the whole run, as the host's own do.
    MexCallScope scope;
    auto scalar = [](double value) {
        mxArray* a = mxCreateDoubleMatrix(1, 1, mxREAL);
        *mxGetPr(a) = value;
        return a;
    };
    mxArray* empty = mxCreateDoubleMatrix(0, 0, mxREAL);
    const mxArray* outputsArgs[4] = {empty, empty, empty, scalar(104.0)};
    const mxArray* updateArgs[4] = {empty, empty, empty, scalar(105.0)};
    // The host passes the SimStruct itself where an array would go.
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(S)};

    std::size_t k = 0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) {
        std::memcpy(phasePort, &second.phases[3 * k], 3 * sizeof(double));
        *timePort = wholeSeconds + second.offsets[k];
        S->posted.portIndex = 0;  // not the constant task
        if (!deliverable->call(-1, plhs, 4, outputsArgs).empty() || ssGetErrorStatus(S) != nullptr ||
            !deliverable->call(-1, plhs, 4, updateArgs).empty() || ssGetErrorStatus(S) != nullptr) {
            state.SkipWithError("the block stopped on the method road");
            break;
        }
        if (++k == second.samples) {
            k = 0;
            wholeSeconds += 1.0;
        }
    }
    const double elapsed = threadCpuNanoseconds() - start;
    reportFigure(state, scenario, elapsed);
}

void runHostDriver(benchmark::State& state, const MexScenario& scenario) {
    const SampleRateBuild& build = *scenario.entry->build;
    const SteadySecond second = steadySecond(build, kSignalFrequency);
    double wholeSeconds = 0.0;
    std::unique_ptr<MexDriver> driver = settledDriver(state, build, second, wholeSeconds);
    if (driver == nullptr) return;

    ModelInputs in;
    ModelOutputs out;
    std::size_t k = 0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) {
        std::memcpy(in.phase, &second.phases[3 * k], sizeof in.phase);
        in.time = wholeSeconds + second.offsets[k];
        if (!driver->step(in, out)) {
            state.SkipWithError(("the block stopped: " + driver->error()).c_str());
            break;
        }
        benchmark::DoNotOptimize(out);
        if (++k == second.samples) {
            k = 0;
            wholeSeconds += 1.0;
        }
    }
    const double elapsed = threadCpuNanoseconds() - start;
    reportFigure(state, scenario, elapsed);
}

const MexScenario kScenarios[] = {
    {"10k", &model_10k::kModelEntry},
    {"14p4k", &model_14p4k::kModelEntry},
    {"4k", &model_4k::kModelEntry},
};

const bool kRegistered = [] {
    for (const MexScenario& scenario : kScenarios) {
        benchmark::RegisterBenchmark((std::string("BM_MexFunction/") + scenario.tag).c_str(),
                                     [&scenario](benchmark::State& state) { runMexFunction(state, scenario); });
    }
    for (const MexScenario& scenario : kScenarios) {
        benchmark::RegisterBenchmark((std::string("BM_HostDriver/") + scenario.tag).c_str(),
                                     [&scenario](benchmark::State& state) { runHostDriver(state, scenario); });
    }
    return true;
}();

}  // namespace
