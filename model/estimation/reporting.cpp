// Report instants: a report instant passed in this sample step raises the
// strobe, and the estimates are interpolated linearly to it and held until
// the next one.
#include <cstdint>

#include "model/estimation/estimation_steps.h"
#include "model/estimation/non_finite.h"
#include "model/estimation/numeric.h"

namespace ORVANE_MODEL_NS {

namespace {

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

void runReporting(est::StepContext& ctx) {
    const WorkVectorTable& t = *ctx.vectors;
    double* B = ctx.sig->B;

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

    B[sig::kAngle] = atan2Safe(ctx.positiveSeqIm, ctx.positiveSeqRe);
    if (strobe) {
        // Along the shorter arc between the previous and the current angle.
        const double e = est::wrapAngle(*dworkReal(t, dw::kPrevAngle) - B[sig::kAngle]);
        B[sig::kReportAngle] = est::wrapAngle(e * o + B[sig::kAngle]);
    } else {
        B[sig::kReportAngle] = *dworkReal(t, dw::kHeldReportAngle);
    }
}

}  // namespace ORVANE_MODEL_NS
