// Sine and cosine of one angle from one library call. The C library on our
// platform computes both with the same argument reduction and polynomials as
// its separate sin and cos, so the pair is bit-identical to the two calls
// (tests/model/estimation/sine_cosine_test.cpp checks this over many arguments); g++
// merges a sin and a cos of one argument into this call by itself only where
// it sees both together.
#ifndef ORVANE_MODEL_ESTIMATION_SINE_COSINE_H
#define ORVANE_MODEL_ESTIMATION_SINE_COSINE_H

#include <math.h>

namespace est {

struct SineCosine {
    double sine;
    double cosine;
};

inline SineCosine sineCosine(double angle) {
    SineCosine r;
    ::sincos(angle, &r.sine, &r.cosine);
    return r;
}

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_SINE_COSINE_H
