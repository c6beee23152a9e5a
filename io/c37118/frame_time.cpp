#include "io/c37118/frame_time.h"

#include <cmath>

bool frameTimeFromSeconds(double seconds, uint32_t timeBase, FrameTime& out) {
    out = FrameTime{};
    // 4294967296 is one past the last SOC; the comparisons also refuse NaN.
    if (!(seconds >= 0.0) || !(seconds < 4294967296.0)) {
        out.quality = kTimeQualityClockFailure;
        return false;
    }
    const double whole = std::floor(seconds);
    uint64_t soc = static_cast<uint64_t>(whole);
    uint64_t count = static_cast<uint64_t>(std::llround((seconds - whole) * static_cast<double>(timeBase)));
    if (count >= timeBase) {
        count -= timeBase;
        ++soc;
    }
    if (soc > 0xFFFFFFFFu) {
        out.quality = kTimeQualityClockFailure;
        return false;
    }
    out.soc = static_cast<uint32_t>(soc);
    out.fracSec = static_cast<uint32_t>(count);
    return true;
}

double secondsOf(const FrameTime& time, uint32_t timeBase) {
    return static_cast<double>(time.soc) + static_cast<double>(time.fracSec) / static_cast<double>(timeBase);
}
