// Report instants and outputs: a report instant passed in this sample step
// raises the strobe, and the estimates are interpolated linearly to it and
// held until the next one. After the outputs: the flags that steer the next
// sample's channel selector, the tracked frequency and the settle timers.
#include <cstdint>

#include "model/estimation/estimation_steps.h"
#include "model/estimation/non_finite.h"
#include "model/estimation/numeric.h"
#include "model/work_vectors.h"

namespace ORVANE_MODEL_NS {

namespace {

enum OutputPort : int {
    kOutTimestamp = 0,
    kOutMagnitude = 1,
    kOutAngle = 2,
    kOutFrequency = 3,
    kOutRocof = 4,
    kOutReportStrobe = 5,
    kOutActiveReportRate = 6,
};

double* outputReal(SimStruct* S, int port) { return static_cast<double*>(ssGetOutputPortSignal(S, port)); }

// Interpolation fraction o: the part of the sample step that lies after the
// report instant, from this sample's offset B[5] and the previous one. The
// divisor is at least 1e-9. It only matters in a sample that strobes, so it
// is computed only there; the previous offset does not change within
// mdlOutputs, so the result is the same whenever it is taken.
double interpolationFraction(const double* B, const WorkVectorTable& t) {
    double step = B[sig::kReportOffset] - *dworkReal(t, dw::kPrevOffsetForFraction);
    if (1e-9 > step) step = 1e-9;
    return B[sig::kReportOffset] / step;
}

// Straight-line value at the report instant, o being the part of the step
// after the instant.
double interpolate(double current, double previous, double o) { return ((-o) + 1.0) * current + previous * o; }

}  // namespace

void runReportingAndOutputs(est::StepContext& ctx) {
    SimStruct* S = ctx.S;
    const WorkVectorTable& t = *ctx.vectors;
    double* B = ctx.sig->B;
    const bool channel1Active = ctx.sig->BB[sig::kChannel1Active];

    // The offset from the nearest instant turned non-negative while the
    // timestamp advanced by less than a quarter of the report interval.
    const double timestampStep = B[sig::kTimestamp] - *dworkReal(t, dw::kPrevTimestamp);
    const bool strobe = B[sig::kReportOffset] >= 0.0 && *dworkReal(t, dw::kPrevOffsetForStrobe) < 0.0 &&
                        timestampStep > 0.0 && 0.25 * ctx.reportInterval > timestampStep;
    ctx.strobe = strobe;
    const double o = strobe ? interpolationFraction(B, t) : 0.0;

    const double* prev = dworkReal(t, dw::kPrevPerSample);
    const double* held = dworkReal(t, dw::kHeldReport);
    if (strobe) {
        B[sig::kReportTimestamp] = interpolate(B[sig::kTimestamp], prev[0], o);
        B[sig::kReportMagnitude] = interpolate(B[sig::kMagnitude], prev[1], o);
        B[sig::kReportFrequency] = interpolate(B[sig::kReportedFrequency], prev[2], o);
        B[sig::kReportRocof] = interpolate(B[sig::kRocof], prev[3], o);
    } else {
        B[sig::kReportTimestamp] = held[0];
        B[sig::kReportMagnitude] = held[1];
        B[sig::kReportFrequency] = held[2];
        B[sig::kReportRocof] = held[3];
    }

    if (*ctx.in.reportMode != 0) {
        *outputReal(S, kOutTimestamp) = B[sig::kReportTimestamp];
        *outputReal(S, kOutMagnitude) = B[sig::kReportMagnitude];
        *outputReal(S, kOutFrequency) = B[sig::kReportFrequency];
        *outputReal(S, kOutRocof) = B[sig::kReportRocof];
    } else {
        *outputReal(S, kOutTimestamp) = B[sig::kTimestamp];
        *outputReal(S, kOutMagnitude) = B[sig::kMagnitude];
        *outputReal(S, kOutFrequency) = B[sig::kReportedFrequency];
        *outputReal(S, kOutRocof) = B[sig::kRocof];
    }

    B[sig::kAngle] = atan2Safe(ctx.positiveSeqIm, ctx.positiveSeqRe);
    if (strobe) {
        // Along the shorter arc between the previous and the current angle.
        const double e = est::wrapAngle(*dworkReal(t, dw::kPrevAngle) - B[sig::kAngle]);
        B[sig::kReportAngle] = est::wrapAngle(e * o + B[sig::kAngle]);
    } else {
        B[sig::kReportAngle] = *dworkReal(t, dw::kHeldReportAngle);
    }
    *outputReal(S, kOutAngle) = *ctx.in.reportMode != 0 ? B[sig::kReportAngle] : B[sig::kAngle];

    *static_cast<bool*>(ssGetOutputPortSignal(S, kOutReportStrobe)) = strobe;
    *static_cast<int32_t*>(ssGetOutputPortSignal(S, kOutActiveReportRate)) =
        channel1Active ? ctx.sig->BI[sig::kReportRateCh1] : ctx.sig->BI[sig::kReportRateCh2];
}

void runAfterOutputs(est::StepContext& ctx) {
    const WorkVectorTable& t = *ctx.vectors;
    double* B = ctx.sig->B;
    bool* BB = ctx.sig->BB;
    const bool channel1Active = BB[sig::kChannel1Active];

    BB[sig::kNotPrevSettledCh1] = !*dworkBool(t, dw::kPrevSettledCh1);
    BB[sig::kNotPrevSettledCh2] = !*dworkBool(t, dw::kPrevSettledCh2);
    BB[sig::kChannel2Active] = !channel1Active;

    // Tracked frequency: follows the active smoothed frequency at no more
    // than 100 Hz/s.
    const double prevTracked = *dworkReal(t, dw::kPrevTracked);
    const double limit = kBuild.slewPerSample;
    double e = (channel1Active ? B[kSmootherCh1.smoothed] : B[kSmootherCh2.smoothed]) - prevTracked;
    if (e < -limit) {
        e = -limit;
    } else if (e > limit) {
        e = limit;
    }
    B[sig::kTrackedFrequency] = e + prevTracked;

    // A channel has settled 3.5 of its periods after its restart: two for the
    // cascade, one for the smoother, half for the reported frequency's lead.
    B[sig::kSettleTimerCh1] = ctx.restartCh1 ? 0.0 : *dworkReal(t, dw::kSettleTimerCh1) + kBuild.ts;
    BB[sig::kSettledCh1] = B[sig::kSettleTimerCh1] > ((2.0 + B[kSmootherCh1.stageFactor]) + 0.5) * ctx.periodCh1;
    B[sig::kSettleTimerCh2] = ctx.restartCh2 ? 0.0 : *dworkReal(t, dw::kSettleTimerCh2) + kBuild.ts;
    BB[sig::kSettledCh2] = B[sig::kSettleTimerCh2] > ((2.0 + B[kSmootherCh2.stageFactor]) + 0.5) * ctx.periodCh2;

    B[sig::kActiveRawFrequency] = channel1Active ? B[kSmootherCh1.rawFrequency] : B[kSmootherCh2.rawFrequency];
    BB[sig::kNotPulsePhaseCh1] = !BB[kSmootherCh1.pulsePhase];
    BB[sig::kNotPulsePhaseCh2] = !BB[kSmootherCh2.pulsePhase];
}

}  // namespace ORVANE_MODEL_NS
