// Truncation of a double toward zero into a 32-bit signed integer, defined
// for every input. A plain cast of a value outside the int32 range (or of a
// NaN) is undefined behaviour in C++, so the range is tested first; such a
// value yields INT32_MIN, the pattern the x86 conversion instruction gives.
#ifndef ORVANE_SFUNCTION_INT32_TRUNCATION_H
#define ORVANE_SFUNCTION_INT32_TRUNCATION_H

#include <cstdint>

// True when truncating `value` toward zero lands inside the int32 range:
// -2147483648.999... still truncates to INT32_MIN, 2147483648.0 does not fit.
// NaN fails both comparisons.
constexpr bool truncatesIntoInt32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

constexpr int32_t truncateToInt32(double value) {
    return truncatesIntoInt32(value) ? static_cast<int32_t>(value) : INT32_MIN;
}

#endif  // ORVANE_SFUNCTION_INT32_TRUNCATION_H
