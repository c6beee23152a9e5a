// The positive-sequence transform (Pa + a*Pb + a^2*Pc)/3, with the operator
// a and one third as the literals below and every product and sum in this
// order, so that results agree to the last bit.
#ifndef ORVANE_MODEL_ESTIMATION_SEQUENCE_H
#define ORVANE_MODEL_ESTIMATION_SEQUENCE_H

namespace est {

constexpr double kSeqRe = -0.4999999999999998;
constexpr double kSeqIm = 0.8660254037844387;
constexpr double kSeqImNeg = -0.8660254037844387;
constexpr double kOneThird = 0.3333333333333333;

struct Complex {
    double re;
    double im;
};

// Phasors given by their real parts re[a,b,c] and imaginary parts im[a,b,c].
// The phase-a term is a product with 1 + j*0 like the other two.
inline Complex positiveSequence(const double re[3], const double im[3]) {
    Complex v;
    v.re = ((1.0 * re[0] - 0.0 * im[0]) + (kSeqRe * re[1] - kSeqIm * im[1]) + (kSeqRe * re[2] - kSeqImNeg * im[2])) *
           kOneThird;
    v.im = ((1.0 * im[0] + 0.0 * re[0]) + (kSeqRe * im[1] + kSeqIm * re[1]) + (kSeqRe * im[2] + kSeqImNeg * re[2])) *
           kOneThird;
    return v;
}

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_SEQUENCE_H
