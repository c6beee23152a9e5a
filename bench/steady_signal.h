// One second of a balanced three-phase signal at a build's sample rate, the
// input of every per-sample benchmark. With a whole-hertz frequency it
// repeats seamlessly at every whole second of time.
#ifndef ORVANE_BENCH_STEADY_SIGNAL_H
#define ORVANE_BENCH_STEADY_SIGNAL_H

#include <cstddef>
#include <vector>

#include "builds/sample_rate_build.h"

struct SteadySecond {
    std::size_t samples = 0;
    std::vector<double> phases;   // va, vb, vc of sample k at 3k .. 3k+2
    std::vector<double> offsets;  // time of sample k within its second, s
};

SteadySecond steadySecond(const SampleRateBuild& build, double frequency);

#endif  // ORVANE_BENCH_STEADY_SIGNAL_H
