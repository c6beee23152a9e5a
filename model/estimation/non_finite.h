// Process-wide non-finite constants and the quadrant-safe arctangent that
// every angle of the model is taken with.
#ifndef ORVANE_MODEL_ESTIMATION_NON_FINITE_H
#define ORVANE_MODEL_ESTIMATION_NON_FINITE_H

#include <cstddef>

extern double nonFinitePosInf;
extern double nonFiniteNegInf;
extern double nonFiniteNaN;

// Sets the three constants; every call writes the same values. The size of
// a double is passed by convention and not used.
void initNonFinite(std::size_t realSize);
bool isInfinite(double value);
bool isNaNValue(double value);

// atan2 with defined results for NaN, two infinities and a zero x of either
// sign; within -pi..pi.
double atan2Safe(double y, double x);

#endif  // ORVANE_MODEL_ESTIMATION_NON_FINITE_H
