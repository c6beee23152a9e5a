// What the file and wire formats, the frame and the checks must know of the
// measurement block, written once. The block's arithmetic uses these very
// definitions (model/estimation/ takes them from here), so a reader or writer
// that clamps, warns or converts the way the block does cannot drift from it.
// Plain constants and constexpr rules: no state, no host, no build constants.
#ifndef ORVANE_MODEL_FACTS_MODEL_FACTS_H
#define ORVANE_MODEL_FACTS_MODEL_FACTS_H

#include <cstdint>

namespace facts {

// A channel never tunes its period and windows below 25 Hz: its longest
// period, and so the length of its delay lines, is 1/25 Hz = 40 ms.
inline constexpr double kLowestTuningFrequency = 25.0;

// The block limits Time (and the report index built from it) to +-2e9
// before truncating it into an int32 whole second.
inline constexpr double kTimeClamp = 2e9;

// The requested report rate is latched clamped to 1..1200 reports per second.
inline constexpr int32_t kLowestReportRate = 1;
inline constexpr int32_t kHighestReportRate = 1200;

// Truncation of a double toward zero into a 32-bit signed integer, defined
// for every input. A plain cast of a value outside the int32 range (or of a
// NaN) is undefined behaviour in C++, so the range is tested first; such a
// value yields INT32_MIN, the pattern the x86 conversion instruction gives.
//
// True when truncating `value` toward zero lands inside the int32 range:
// -2147483648.999... still truncates to INT32_MIN, 2147483648.0 does not fit.
// NaN fails both comparisons.
constexpr bool truncatesIntoInt32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

constexpr int32_t truncateToInt32(double value) {
    return truncatesIntoInt32(value) ? static_cast<int32_t>(value) : INT32_MIN;
}

}  // namespace facts

#endif  // ORVANE_MODEL_FACTS_MODEL_FACTS_H
