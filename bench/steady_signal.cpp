#include "bench/steady_signal.h"

#include "signals/three_phase_signal.h"

SteadySecond steadySecond(const SampleRateBuild& build, double frequency) {
    SteadySecond second;
    second.samples = static_cast<std::size_t>(build.fs);
    ThreePhaseSignalParameters spec;
    spec.frequency = frequency;
    ThreePhaseSignal signal(spec);
    second.phases.resize(3 * second.samples);
    second.offsets.resize(second.samples);
    for (std::size_t k = 0; k < second.samples; ++k) {
        second.offsets[k] = static_cast<double>(k) / build.fs;
        signal.sample(second.offsets[k], &second.phases[3 * k]);
    }
    return second;
}
