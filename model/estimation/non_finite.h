// Process-wide non-finite constants and the quadrant-safe arctangent that
// every angle of the model is taken with.
#ifndef ORVANE_MODEL_ESTIMATION_NON_FINITE_H
#define ORVANE_MODEL_ESTIMATION_NON_FINITE_H

#include <cmath>
#include <cstddef>

extern double nonFinitePosInf;
extern double nonFiniteNegInf;
extern double nonFiniteNaN;

// Sets the three constants; every call writes the same values. The size of
// a double is passed by convention and not used.
void initNonFinite(std::size_t realSize);
inline bool isInfinite(double value) { return value == nonFinitePosInf || value == nonFiniteNegInf; }
inline bool isNaNValue(double value) { return !(value == value); }

// The rules of atan2Safe for a NaN, two infinities or a zero x.
double atan2SafeSpecial(double y, double x);

// atan2 with defined results for NaN, two infinities and a zero x of either
// sign; within -pi..pi. Three angles a sample go through here, so the usual
// case (no NaN, x neither zero nor infinite: the library's atan2) is decided
// inline and only the rest goes out of line.
inline double atan2Safe(double y, double x) {
    if (!isNaNValue(y) && !isNaNValue(x) && x != 0.0 && !isInfinite(x)) return std::atan2(y, x);
    return atan2SafeSpecial(y, x);
}

#endif  // ORVANE_MODEL_ESTIMATION_NON_FINITE_H
