// Frame timing and reference oscillators: which channel is active, what each
// channel latches when it restarts, where the sample lies on the grid of
// report instants, and the phases the heterodyne mixes with.
#include <cstdint>

#include "model/estimation/estimation_steps.h"
#include "model/estimation/numeric.h"
#include "model/work_vectors.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr int32_t kLowestReportRate = 1;
constexpr int32_t kHighestReportRate = 1200;
constexpr double kLowestTuningFrequency = 25.0;
constexpr double kLowestNominalFrequency = 35.714285714285715;

// A channel's period: never longer than 0.04 s, whatever its tuning.
double channelPeriod(double tuning) { return 1.0 / est::maxWithConstant(tuning, kLowestTuningFrequency); }

// Position of time t within its whole second: the whole second (converted
// through the limited floor preparation) and the fraction, brought back into
// 0..1 by one step.
struct WholeAndFraction {
    double floorPrep;
    int32_t whole;
    double fraction;
};

WholeAndFraction splitSecond(double t) {
    WholeAndFraction r{};
    r.floorPrep = est::floorPrepLimited(t);
    r.whole = est::truncateToInt32(r.floorPrep);
    double h = t - static_cast<double>(r.whole);
    if (h < 0.0) {
        h = h + 1.0;
    } else if (h > 1.0) {
        h = h - 1.0;
    }
    r.fraction = h;
    return r;
}

// Phase of a cosine of the channel's nominal frequency at the channel's
// timestamp, zero at the whole second of Time, within -pi..pi.
struct ReferencePhase {
    double turnsFloorPrep;
    int32_t turns;
    double phase;
};

ReferencePhase referencePhase(double tau, double period, double nominal) {
    ReferencePhase r{};
    const double a = (tau - period) * (est::kTwoPi * nominal) + est::kPi;
    r.turnsFloorPrep = est::floorPrep(a / est::kTwoPi);
    r.turns = est::truncateToInt32(r.turnsFloorPrep);
    r.phase = (a - static_cast<double>(r.turns) * est::kTwoPi) - est::kPi;
    return r;
}

}  // namespace

void runFrameTiming(est::StepContext& ctx) {
    const WorkVectorTable& S = *ctx.vectors;
    double* B = ctx.sig->B;
    int32_t* BI = ctx.sig->BI;
    bool* BB = ctx.sig->BB;

    // Requested report rate.
    int32_t rate = ctx.in.reportRate;
    if (rate < kLowestReportRate) {
        rate = kLowestReportRate;
    } else if (rate > kHighestReportRate) {
        rate = kHighestReportRate;
    }

    // Channel selector: a channel that settled in the previous sample (its
    // flag true there and false the sample before) becomes active.
    const bool settledNowCh1 = *dworkBool(S, dw::kPrevSettledCh1) && *dworkBool(S, dw::kPrevNotPrevSettledCh1);
    const bool settledNowCh2 = *dworkBool(S, dw::kPrevSettledCh2) && *dworkBool(S, dw::kPrevNotPrevSettledCh2);
    const bool prevSelector = *dworkBool(S, dw::kPrevSelector);
    bool channel1Active;
    if (settledNowCh1 && settledNowCh2) {
        channel1Active = !prevSelector;
    } else {
        channel1Active = (settledNowCh1 || prevSelector) && !settledNowCh2;
    }
    BB[sig::kChannel1Active] = channel1Active;

    // The channel that has just become inactive restarts.
    ctx.restartCh1 = !channel1Active && *dworkBool(S, dw::kPrevSelectorForRestartCh1);
    ctx.restartCh2 = channel1Active && *dworkBool(S, dw::kPrevNotSelector);

    BI[sig::kReportRateCh1] = ctx.restartCh1 ? rate : *dworkInt(S, dw::kReportRateCh1);
    BI[sig::kReportRateCh2] = ctx.restartCh2 ? rate : *dworkInt(S, dw::kReportRateCh2);
    est::RestartMemos& memos = *ctx.memos;
    ctx.reportInterval = memos.reportInterval.get(
        channel1Active ? BI[sig::kReportRateCh1] : BI[sig::kReportRateCh2],
        [](int32_t rate) { return 1.0 / static_cast<double>(rate); });

    // A restarting channel tunes to the previous sample's tracked frequency.
    const double tuning1 =
        ctx.restartCh1 ? *dworkReal(S, dw::kTrackedForLatch) : *dworkReal(S, dw::kTuningFrequencyCh1);
    B[sig::kTuningFrequencyCh1] = tuning1;
    ctx.periodCh1 = memos.periodCh1.get(tuning1, channelPeriod);
    const double tuning2 =
        ctx.restartCh2 ? *dworkReal(S, dw::kTrackedForLatch) : *dworkReal(S, dw::kTuningFrequencyCh2);
    B[sig::kTuningFrequencyCh2] = tuning2;
    ctx.periodCh2 = memos.periodCh2.get(tuning2, channelPeriod);

    // The filters' output belongs one period of the active channel back.
    const double time = ctx.in.time;
    B[sig::kTimestamp] = channel1Active ? time - ctx.periodCh1 : time - ctx.periodCh2;

    const WholeAndFraction stamp = splitSecond(B[sig::kTimestamp]);
    B[sig::kTimestampFloorPrep] = stamp.floorPrep;
    BI[sig::kTimestampWholeSecond] = stamp.whole;

    // Nearest report instant and the signed offset from it.
    const double tr = ctx.reportInterval;
    const double halfInterval = 0.5 * tr;
    const double shifted = stamp.fraction + halfInterval;
    B[sig::kReportIndexFloorPrep] = est::floorPrepLimited(shifted / tr);
    BI[sig::kReportIndex] = est::truncateToInt32(B[sig::kReportIndexFloorPrep]);
    double g = shifted - static_cast<double>(BI[sig::kReportIndex]) * tr;
    if (g < 0.0) {
        g = g + tr;
    } else if (g > tr) {
        g = g - tr;
    }
    B[sig::kReportOffset] = g - halfInterval;

    // The interpolation fraction follows from B[5] and the previous offset;
    // only a sample that strobes uses it, so the reporting step divides for
    // it then (interpolationFraction).

    // Oscillator of channel 1, advanced with the unclamped tuning frequency.
    B[sig::kOscillatorPhaseCh1] =
        est::wrapAngle(kBuild.twoPiTs * tuning1 + *dworkReal(S, dw::kOscillatorPhaseCh1));

    const WholeAndFraction now = splitSecond(time);
    B[sig::kTimeFloorPrep] = now.floorPrep;
    BI[sig::kTimeWholeSecond] = now.whole;
    const double tau = now.fraction;

    const double nominalOffered = kLowestNominalFrequency > ctx.in.nominalFrequency
                                      ? kLowestNominalFrequency
                                      : ctx.in.nominalFrequency;
    B[sig::kNominalFrequencyCh1] =
        ctx.restartCh1 ? nominalOffered : *dworkReal(S, dw::kNominalFrequencyCh1);

    const ReferencePhase ref1 = referencePhase(tau, ctx.periodCh1, B[sig::kNominalFrequencyCh1]);
    B[sig::kAlignmentTurnsFloorPrepCh1] = ref1.turnsFloorPrep;
    BI[sig::kAlignmentTurnsCh1] = ref1.turns;
    ctx.refPhaseCh1 = ref1.phase;

    B[sig::kOscillatorPhaseCh2] =
        est::wrapAngle(kBuild.twoPiTs * tuning2 + *dworkReal(S, dw::kOscillatorPhaseCh2));

    B[sig::kNominalFrequencyCh2] =
        ctx.restartCh2 ? nominalOffered : *dworkReal(S, dw::kNominalFrequencyCh2);

    const ReferencePhase ref2 = referencePhase(tau, ctx.periodCh2, B[sig::kNominalFrequencyCh2]);
    B[sig::kAlignmentTurnsFloorPrepCh2] = ref2.turnsFloorPrep;
    BI[sig::kAlignmentTurnsCh2] = ref2.turns;
    ctx.refPhaseCh2 = ref2.phase;
}

}  // namespace ORVANE_MODEL_NS
