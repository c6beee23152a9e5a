// Frame timing and reference oscillators: which channel is active, what each
// channel latches when it restarts, where the sample lies on the grid of
// report instants, and the phases the heterodyne mixes with. After the
// outputs: the flags and timers that decide the next sample's channel.
#include <cstdint>

#include "model/estimation/channel_limits.h"
#include "model/estimation/estimation_steps.h"
#include "model/estimation/numeric.h"
#include "model/facts/model_facts.h"

namespace ORVANE_MODEL_NS {

namespace {

using facts::kHighestReportRate;
using facts::kLowestReportRate;
constexpr double kLowestNominalFrequency = 35.714285714285715;

// A channel's period: never longer than 0.04 s, whatever its tuning.
double channelPeriod(double tuning) { return 1.0 / est::maxWithConstant(tuning, est::kLowestTuningFrequency); }

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

// What channel c latches: its report rate and tuning frequency, taken anew
// at its restart (the tuning from the previous sample's tracked frequency),
// and the period that follows from the tuning.
void latchChannel(est::StepContext& ctx, int c, int32_t rate) {
    const WorkVectorTable& t = *ctx.vectors;
    const ChannelEntries& e = kChannelEntries[c];
    const ChannelVectors& v = kChannelVectors[c];
    est::ChannelStep& ch = ctx.ch[c];
    ctx.sig->BI[e.reportRate] = ch.restart ? rate : *dworkInt(t, v.reportRate);
    const double tuning = ch.restart ? *dworkReal(t, dw::kTrackedForLatch) : *dworkReal(t, v.tuningFrequency);
    ctx.sig->B[e.tuningFrequency] = tuning;
    ch.period = ctx.memos->period[c].get(tuning, channelPeriod);
}

// Channel c's oscillator, advanced with its unclamped tuning frequency, and
// its reference phase at the fraction tau of the second.
void phaseChannel(est::StepContext& ctx, int c, double tau, double nominalOffered) {
    const WorkVectorTable& t = *ctx.vectors;
    const ChannelEntries& e = kChannelEntries[c];
    const ChannelVectors& v = kChannelVectors[c];
    est::ChannelStep& ch = ctx.ch[c];
    double* B = ctx.sig->B;
    B[e.oscillatorPhase] = est::wrapAngle(kBuild.twoPiTs * B[e.tuningFrequency] + *dworkReal(t, v.oscillatorPhase));
    B[e.nominalFrequency] = ch.restart ? nominalOffered : *dworkReal(t, v.nominalFrequency);
    const ReferencePhase ref = referencePhase(tau, ch.period, B[e.nominalFrequency]);
    B[e.alignmentTurnsFloorPrep] = ref.turnsFloorPrep;
    ctx.sig->BI[e.alignmentTurns] = ref.turns;
    ch.refPhase = ref.phase;
}

}  // namespace

void runFrameTiming(est::StepContext& ctx) {
    const WorkVectorTable& t = *ctx.vectors;
    double* B = ctx.sig->B;
    int32_t* BI = ctx.sig->BI;

    // Requested report rate.
    int32_t rate = ctx.in.reportRate;
    if (rate < kLowestReportRate) {
        rate = kLowestReportRate;
    } else if (rate > kHighestReportRate) {
        rate = kHighestReportRate;
    }

    // Channel selector: a channel that settled in the previous sample (its
    // flag true there and false the sample before) becomes active.
    bool settledNow[2];
    for (int c = 0; c < 2; ++c) {
        const ChannelVectors& v = kChannelVectors[c];
        settledNow[c] = *dworkBool(t, v.prevSettled) && *dworkBool(t, v.prevNotPrevSettled);
    }
    const bool prevSelector = *dworkBool(t, dw::kPrevSelector);
    bool channel1Active;
    if (settledNow[0] && settledNow[1]) {
        channel1Active = !prevSelector;
    } else {
        channel1Active = (settledNow[0] || prevSelector) && !settledNow[1];
    }
    ctx.sig->BB[sig::kChannel1Active] = channel1Active;
    ctx.active = channel1Active ? 0 : 1;

    // The channel that has just become inactive restarts.
    for (int c = 0; c < 2; ++c) {
        ctx.ch[c].restart = c != ctx.active && *dworkBool(t, kChannelVectors[c].prevActive);
        latchChannel(ctx, c, rate);
    }
    ctx.reportInterval = ctx.memos->reportInterval.get(BI[kChannelEntries[ctx.active].reportRate],
                                                       [](int32_t rate) { return 1.0 / static_cast<double>(rate); });

    // The filters' output belongs one period of the active channel back.
    const double time = ctx.in.time;
    B[sig::kTimestamp] = time - ctx.ch[ctx.active].period;

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

    // The interpolation fraction follows from the offset and the previous
    // one; only a sample that strobes uses it, so the reporting step divides
    // for it then.

    const WholeAndFraction now = splitSecond(time);
    B[sig::kTimeFloorPrep] = now.floorPrep;
    BI[sig::kTimeWholeSecond] = now.whole;

    const double nominalOffered = kLowestNominalFrequency > ctx.in.nominalFrequency ? kLowestNominalFrequency
                                                                                     : ctx.in.nominalFrequency;
    for (int c = 0; c < 2; ++c) phaseChannel(ctx, c, now.fraction, nominalOffered);
}

void runSelectorAfterOutputs(est::StepContext& ctx) {
    const WorkVectorTable& t = *ctx.vectors;
    double* B = ctx.sig->B;
    bool* BB = ctx.sig->BB;
    BB[sig::kChannel2Active] = !BB[sig::kChannel1Active];

    // A channel has settled 3.5 of its periods after its restart: two for the
    // cascade, one for the smoother, half for the reported frequency's lead.
    for (int c = 0; c < 2; ++c) {
        const ChannelEntries& e = kChannelEntries[c];
        const ChannelVectors& v = kChannelVectors[c];
        BB[e.notPrevSettled] = !*dworkBool(t, v.prevSettled);
        B[e.settleTimer] = ctx.ch[c].restart ? 0.0 : *dworkReal(t, v.settleTimer) + kBuild.ts;
        BB[e.settled] = B[e.settleTimer] > ((2.0 + B[kSmoother[c].stageFactor]) + 0.5) * ctx.ch[c].period;
    }
}

}  // namespace ORVANE_MODEL_NS
