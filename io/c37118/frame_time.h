// Seconds on the absolute time base <-> the SOC and FRACSEC of a frame.
#ifndef ORVANE_IO_C37118_FRAME_TIME_H
#define ORVANE_IO_C37118_FRAME_TIME_H

#include <cstdint>

#include "io/c37118/frame_common.h"

// The largest FRACSEC divisor: TIME_BASE is a 24-bit field.
inline constexpr uint32_t kMaxTimeBase = 0xFFFFFF;

// SOC and FRACSEC of `seconds`, the fraction rounded to the nearest
// 1/timeBase (a fraction that rounds up to a whole second carries into
// SOC). A time that is not finite, negative or beyond the 32-bit SOC cannot
// be carried: the result is SOC 0, FRACSEC 0 with the clock-failure quality
// code, and the function returns false. timeBase must be 1..kMaxTimeBase.
bool frameTimeFromSeconds(double seconds, uint32_t timeBase, FrameTime& out);

double secondsOf(const FrameTime& time, uint32_t timeBase);

#endif  // ORVANE_IO_C37118_FRAME_TIME_H
