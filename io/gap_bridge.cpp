#include "io/gap_bridge.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::size_t GapBridge::periodFor(double sampleRate, double nominalFrequency) {
    const double samples = std::round(sampleRate / nominalFrequency);
    // A nonsense nominal frequency (0, NaN) gives one sample: the bridge
    // then holds the last value.
    return samples >= 1.0 && samples < 1e7 ? static_cast<std::size_t>(samples) : 1;
}

GapBridge::GapBridge(double sampleRate, double nominalFrequency)
    : period_(periodFor(sampleRate, nominalFrequency)),
      memory_(static_cast<std::size_t>(std::ceil(sampleRate * kFilterMemorySeconds))),
      // Before the first period, nothing is known: a missing value stays so.
      history_(3 * period_, std::numeric_limits<double>::quiet_NaN()),
      sinceMark_(memory_ + 1) {}

bool GapBridge::process(double phase[3]) {
    double* back = &history_[3 * at_];
    bool missing = false;
    bool left = false;
    for (int p = 0; p < 3; ++p) {
        if (std::isfinite(phase[p])) continue;
        missing = true;
        // NaN as the block knows it; an infinity would not be one.
        if (run_ < memory_ && std::isfinite(back[p])) {
            phase[p] = back[p];
        } else {
            phase[p] = std::numeric_limits<double>::quiet_NaN();
            left = true;
        }
    }
    run_ = missing ? run_ + 1 : 0;
    if (missing) {
        ++(left ? unbridged_ : bridged_);
        sinceMark_ = 0;
    } else if (sinceMark_ <= memory_) {
        ++sinceMark_;
    }
    for (int p = 0; p < 3; ++p) back[p] = phase[p];
    at_ = at_ + 1 == period_ ? 0 : at_ + 1;
    return sinceMark_ < memory_;
}
