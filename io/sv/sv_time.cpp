#include "io/sv/sv_time.h"

namespace {

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

SvClock svStamp(const SvClock& capture, const std::optional<SvRefreshTime>& refreshTime) {
    if (!refreshTime) return capture;
    // 24-bit binary fraction to nanoseconds, exact in 64 bits.
    return SvClock{refreshTime->seconds,
                   static_cast<int64_t>((static_cast<uint64_t>(refreshTime->fraction) * 1000000000u) >> 24)};
}

int64_t svSampleIndex(const SvClock& stamp, uint32_t smpCnt, uint32_t rate) {
    // Offsets in nanoseconds of the sample's instant from the clock reading
    // for the second before, of and after the reading's own.
    const int64_t within = static_cast<int64_t>(smpCnt) * kNanosecondsPerSecond / rate;
    int64_t best = stamp.seconds;
    int64_t bestDistance = -1;
    for (int64_t s = stamp.seconds - 1; s <= stamp.seconds + 1; ++s) {
        int64_t d = (s - stamp.seconds) * kNanosecondsPerSecond + within - stamp.nanoseconds;
        if (d < 0) d = -d;
        if (bestDistance < 0 || d < bestDistance) {
            best = s;
            bestDistance = d;
        }
    }
    return best * static_cast<int64_t>(rate) + smpCnt;
}

int64_t svMidnightOf(int64_t index, uint32_t rate) {
    const int64_t second = floorDiv(index, rate);
    return floorDiv(second, 86400) * 86400;
}

double svTimeOf(int64_t index, uint32_t rate, int64_t midnight) {
    const int64_t second = floorDiv(index, rate);
    const int64_t count = index - second * rate;
    return static_cast<double>(second - midnight) + static_cast<double>(count) / static_cast<double>(rate);
}
