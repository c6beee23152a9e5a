// The times the block can take. It splits every timestamp into whole
// seconds held as a 32-bit integer, limited to +-2e9 s: beyond that the
// fraction of the second, the report instants and the angle reference are
// lost, and a run gives no reports at all. Unix times (1.7e9 s today) and
// times of day lie well within it.
#ifndef ORVANE_IO_BLOCK_TIME_RANGE_H
#define ORVANE_IO_BLOCK_TIME_RANGE_H

#include <cstdio>
#include <string>

#include "model/facts/model_facts.h"

inline constexpr double kBlockTimeLimit = facts::kTimeClamp;  // s, either side of 0

inline bool withinBlockTimeRange(double first, double last) {
    return first >= -kBlockTimeLimit && last <= kBlockTimeLimit;
}

// "the run's times 1e+12..1e+12 s lie outside the block's range -2e9..2e9 s
// (its whole seconds are 32-bit)".
inline std::string blockTimeRangeError(double first, double last) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "the samples' times %.10g..%.10g s lie outside the block's time range -2e9..2e9 s (it counts "
                  "whole seconds in 32 bits; Unix times and times of day fit)",
                  first, last);
    return text;
}

#endif  // ORVANE_IO_BLOCK_TIME_RANGE_H
