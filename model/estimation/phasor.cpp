// The correction factor of the active channel and its positive-sequence
// phasor: calibration gain and phase offset (polynomials in the previous
// frequency estimate), the droop compensation of the two boxcar stages, and
// the rotation that ties the phasor to the absolute time base.
#include <cmath>

#include "model/estimation/estimation_steps.h"
#include "model/estimation/non_finite.h"
#include "model/estimation/numeric.h"
#include "model/estimation/sequence.h"
#include "model/estimation/sine_cosine.h"
#include "model/record/work_vectors.h"

namespace ORVANE_MODEL_NS {

void runCorrectionTerms(est::StepContext& ctx) {
    const double* B = ctx.sig->B;
    const ChannelEntries& e = kChannelEntries[ctx.active];
    const est::ChannelStep& ch = ctx.ch[ctx.active];
    const double f = *dworkReal(*ctx.vectors, dw::kPrevActiveRawFrequency);

    const double* c = ctx.in.magnitudeCoeffs;
    const double* p = ctx.in.phaseCoeffs;
    ctx.calibrationGain = (f * f) * c[0] + f * c[1] + c[2];
    ctx.phaseOffset = (f * f) * p[0] + f * p[1] + p[2];

    const double tuning = B[e.tuningFrequency];
    const double period = ch.period;
    const double oscillator = B[e.oscillatorPhase];
    const double reference = ch.refPhase;

    // A boxcar of one period has gain sin(x)/x at the offset from its tuning;
    // two stages of it are divided out by D*D.
    const double x = (std::fabs(f - tuning) * period) * est::kPi;
    if (x < 1e-6) {
        ctx.droop = 1.0;
    } else {
        ctx.droop = (1.0 / est::maxWithConstant(std::sin(x), 1e-9)) * x;
    }

    const double alignment = ((oscillator - est::kHalfPi) - (tuning * period) * est::kTwoPi) - reference;
    const double gain = (ctx.droop * ctx.droop) * ctx.calibrationGain;
    const est::SineCosine rotation = est::sineCosine(alignment + ctx.phaseOffset);
    ctx.correctionRe = gain * rotation.cosine;
    ctx.correctionIm = gain * rotation.sine;
}

void runPositiveSequence(est::StepContext& ctx) {
    const est::FilteredProducts& fp = ctx.ch[ctx.active].filtered;
    const double kc = ctx.correctionRe;
    const double ks = ctx.correctionIm;
    double re[3];
    double im[3];
    for (int ph = 0; ph < 3; ++ph) {
        re[ph] = kc * fp.sine[ph] - ks * fp.cosine[ph];
        im[ph] = kc * fp.cosine[ph] + ks * fp.sine[ph];
    }
    const est::Complex v = est::positiveSequence(re, im);
    ctx.positiveSeqRe = v.re;
    ctx.positiveSeqIm = v.im;
    ctx.sig->B[sig::kMagnitude] = std::sqrt(v.re * v.re + v.im * v.im);
}

}  // namespace ORVANE_MODEL_NS
