// Limits that both channels' filters share.
#ifndef ORVANE_MODEL_ESTIMATION_CHANNEL_LIMITS_H
#define ORVANE_MODEL_ESTIMATION_CHANNEL_LIMITS_H

#include "model/facts/model_facts.h"

namespace est {

// A channel never tunes its period and windows below 25 Hz...
using facts::kLowestTuningFrequency;
// ...so no window it normalises by is longer than 1/25 Hz = 0.04 s.
constexpr double kLongestWindow = 0.04;

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_CHANNEL_LIMITS_H
