// Small operations that every estimation step shares: limits written as the
// comparisons they are (a NaN fails every comparison and passes through),
// the one-step angle wrap, and the conversions into int32 entries.
#ifndef ORVANE_MODEL_ESTIMATION_NUMERIC_H
#define ORVANE_MODEL_ESTIMATION_NUMERIC_H

#include <cstdint>

#include "model/facts/model_facts.h"

namespace est {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kRoundUp = 0.999999;

// max(x, c) with a constant c: c if c > x, otherwise x (a NaN x comes through).
inline double maxWithConstant(double x, double c) { return c > x ? c : x; }

// Brings an angle into -pi..pi by one step only.
inline double wrapAngle(double x) {
    if (x < -kPi) return x + kTwoPi;
    if (x > kPi) return x - kTwoPi;
    return x;
}

// Truncation toward zero into an int32. A NaN, or a value whose truncation
// lies outside the int32 range, gives INT32_MIN; the range test keeps the
// cast itself defined.
using facts::truncateToInt32;

// Floor preparation: a negative value loses 0.999999 so that truncation
// floors it.
inline double floorPrep(double x) { return x < 0.0 ? x - kRoundUp : x; }

// Floor preparation after limiting to -2e9..2e9 (the time clamp).
inline double floorPrepLimited(double x) {
    if (x < -facts::kTimeClamp) {
        x = -facts::kTimeClamp;
    } else if (x > facts::kTimeClamp) {
        x = facts::kTimeClamp;
    }
    return floorPrep(x);
}

// Ceiling preparation: a value that is not negative gains 0.999999 so that
// truncation rounds it up (fractions below 0.000001 still round down).
inline double ceilPrep(double x) { return 0.0 > x ? x : x + kRoundUp; }

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_NUMERIC_H
