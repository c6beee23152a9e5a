// When a sampled value was taken. A frame carries only smpCnt, the sample's
// number within its second; the second itself comes from a clock: the
// frame's capture time, or refrTm when the sender fills it in. Of the three
// seconds around the clock reading the one that puts the sample nearest to
// it is taken, so a frame captured just after the top of the second that
// still holds the previous second's last samples, and a frame stamped by a
// clock running slightly behind the sender's, both land in the right
// second.
//
// A sample is then named by one integer, its absolute index: whole seconds
// since 1970 times the rate plus smpCnt. Loss, duplication and reordering
// are judged on that index. The model's `Time` is counted from the UTC
// midnight of the stream's first day, as for recordings: small enough to
// keep a double's resolution far below a sample period, and it keeps
// counting past the next midnight, so a run across midnight stays
// continuous.
#ifndef ORVANE_IO_SV_SV_TIME_H
#define ORVANE_IO_SV_SV_TIME_H

#include <cstdint>
#include <optional>

#include "io/sv/sv_frame.h"

// A clock reading: seconds since 1970 and nanoseconds within the second.
struct SvClock {
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
};

// The clock the sample's second is taken from.
SvClock svStamp(const SvClock& capture, const std::optional<SvRefreshTime>& refreshTime);

// The absolute index of the sample numbered `smpCnt` in its second, for a
// frame stamped `stamp` at `rate` samples per second (smpCnt < rate).
int64_t svSampleIndex(const SvClock& stamp, uint32_t smpCnt, uint32_t rate);

// The UTC midnight (seconds since 1970) that begins the day of `index`.
int64_t svMidnightOf(int64_t index, uint32_t rate);

// `Time` of sample `index`: its second counted from `midnight`, plus smpCnt
// over the rate.
double svTimeOf(int64_t index, uint32_t rate, int64_t midnight);

#endif  // ORVANE_IO_SV_SV_TIME_H
