// Picks the constant set of the build being compiled. Each build target
// defines ORVANE_SAMPLE_RATE_BUILD as 10000, 14400 or 4000; the model's code
// lives in a namespace of that build so that several builds can share one
// test program without their symbols meeting.
#ifndef ORVANE_BUILDS_SELECTED_BUILD_H
#define ORVANE_BUILDS_SELECTED_BUILD_H

#include "builds/sample_rate_build.h"

#if ORVANE_SAMPLE_RATE_BUILD == 10000
#define ORVANE_MODEL_NS model_10k
#define ORVANE_SELECTED_BUILD kBuild10kHz
#elif ORVANE_SAMPLE_RATE_BUILD == 14400
#define ORVANE_MODEL_NS model_14p4k
#define ORVANE_SELECTED_BUILD kBuild14p4kHz
#elif ORVANE_SAMPLE_RATE_BUILD == 4000
#define ORVANE_MODEL_NS model_4k
#define ORVANE_SELECTED_BUILD kBuild4kHz
#else
#error "ORVANE_SAMPLE_RATE_BUILD must be 10000, 14400 or 4000"
#endif

namespace ORVANE_MODEL_NS {
inline constexpr const SampleRateBuild& kBuild = ORVANE_SELECTED_BUILD;
}  // namespace ORVANE_MODEL_NS

#endif  // ORVANE_BUILDS_SELECTED_BUILD_H
