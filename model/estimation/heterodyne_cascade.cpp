// Heterodyne and filter cascade: each phase times the sine and the cosine of
// each channel's oscillator, each product through two fractional boxcar
// stages of one channel period. The result is a triangular weighting over
// two periods, centred one period back: the timestamp's instant.
#include <cstdint>

#include "model/estimation/boxcar_stage.h"
#include "model/estimation/channel_limits.h"
#include "model/estimation/estimation_steps.h"
#include "model/estimation/sine_cosine.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr double kGainSlope = 0.04;
constexpr int32_t kLowestCascadeDelay = 2;

// A channel's window from its period, as its stages use it (restart aside).
est::CascadeWindow cascadeWindow(double period) {
    const double samples = kBuild.fs * period;
    est::CascadeWindow c{};
    c.whole = est::wholeWindow(samples, kLowestCascadeDelay, kBuild.delayLineLength);

    est::StageWindow& w = c.stage;
    w.delay = c.whole.delay;
    w.length = kBuild.delayLineLength;
    w.edge = est::edgeWeights(c.whole.delay, samples);
    double window;
    if (1e-9 > period) {
        window = 1e-9;
    } else if (period > est::kLongestWindow) {
        window = est::kLongestWindow;
    } else {
        window = period;
    }
    w.scale = (1.0 / window) * kBuild.halfTs;
    w.pass = 1e-9 > period;
    return c;
}

// The channel's window for this sample, with its entries recorded; it
// changes only with the period, that is at the channel's restart.
inline est::StageWindow channelWindow(est::Memo<double, est::CascadeWindow>& memo, const est::ChannelStep& ch,
                                      const ChannelEntries& e, BlockSignals* sig) {
    const est::CascadeWindow& c = memo.get(ch.period, cascadeWindow);
    sig->B[e.windowSamplesCeilPrep] = c.whole.ceilPrep;
    sig->BI[e.wholeWindow] = c.whole.whole;
    sig->BI[e.cascadeDelay] = c.whole.delay;
    est::StageWindow w = c.stage;
    w.restart = ch.restart;
    return w;
}

// Stage `Stage` (0-based) on input x, recording its values; the stage's
// entries and work vectors are compile-time constants, so each sample
// resolves them without tables.
template <int Stage, bool Ordinary>
inline __attribute__((always_inline)) double runStage(const WorkVectorTable& t, double* B, const est::StageWindow& w,
                                                      const est::LineCursor& shared, double x) {
    constexpr StageEntries e = kStageEntries[Stage];
    constexpr int sumsLine = stageSumsLineVector(Stage);
    constexpr int inputsLine = stageInputsLineVector(Stage);
    const est::StageMemory mem = {
        dworkReal(t, stagePrevInputVector(Stage)),
        dworkReal(t, stagePrevSumVector(Stage)),
        {dworkReal(t, sumsLine), dworkInt(t, sumsLine + dw::kWriteIndexOffset)},
        {dworkReal(t, inputsLine), dworkInt(t, inputsLine + dw::kWriteIndexOffset)},
    };
    const est::StageResult r = est::boxcarStep<Ordinary>(mem, w, shared, x);
    B[e.sum] = r.sum;
    B[e.delayedSum] = r.delayedSum;
    B[e.delayedInput0] = r.delayedInput0;
    B[e.delayedInput1] = r.delayedInput1;
    if constexpr (e.output >= 0) B[e.output] = r.output;
    return r.output;
}

// Both stages of the product whose first stage is `First`: the filtered
// product.
template <int First, bool Ordinary>
inline __attribute__((always_inline)) double runProduct(const WorkVectorTable& t, double* B,
                                                        const est::StageWindow& w, const est::LineCursor& shared) {
    const double firstOutput = runStage<First, Ordinary>(t, B, w, shared, B[kStageEntries[First].input]);
    return runStage<First + 1, Ordinary>(t, B, w, shared, firstOutput);
}

// The twelve stages of one channel. Stages 4p..4p+3 filter the sine
// products of phase p, channel 1 then 2, and stages 12 + 4p.. the cosine
// products; `Offset` is 0 for channel 1 and 2 for channel 2. Every stage
// reads and writes only its own vectors and this sample's values, so the
// channels may run one after the other. Their lines have all advanced once
// a sample since the block started, so they share the write index of the
// channel's first line.
template <int Offset, bool Ordinary>
void runChannelStages(const WorkVectorTable& t, double* B, const est::StageWindow& w, est::FilteredProducts& out) {
    const est::LineCursor shared = est::lineCursor(
        *dworkInt(t, stageSumsLineVector(Offset) + dw::kWriteIndexOffset), w.delay, w.length);
    out.sine[0] = runProduct<Offset, Ordinary>(t, B, w, shared);
    out.sine[1] = runProduct<4 + Offset, Ordinary>(t, B, w, shared);
    out.sine[2] = runProduct<8 + Offset, Ordinary>(t, B, w, shared);
    out.cosine[0] = runProduct<12 + Offset, Ordinary>(t, B, w, shared);
    out.cosine[1] = runProduct<16 + Offset, Ordinary>(t, B, w, shared);
    out.cosine[2] = runProduct<20 + Offset, Ordinary>(t, B, w, shared);
}

// The usual sample takes the variant without the restart and pass tests.
template <int Offset>
void runStages(const WorkVectorTable& t, double* B, const est::StageWindow& w, est::FilteredProducts& out) {
    if (!w.restart && !w.pass) {
        runChannelStages<Offset, true>(t, B, w, out);
    } else {
        runChannelStages<Offset, false>(t, B, w, out);
    }
}

// Channel C (0 or 1): its oscillator, its window, its six products (the
// inputs of its first stages) and its twelve stages.
template <int C>
void runChannel(est::StepContext& ctx) {
    constexpr int offset = 2 * C;
    const ChannelEntries& e = kChannelEntries[C];
    est::ChannelStep& ch = ctx.ch[C];
    double* B = ctx.sig->B;

    // Unity-mean gain of 2 from 25 Hz up, falling linearly below.
    const double tuning = B[e.tuningFrequency];
    const double gain = (tuning - est::maxWithConstant(tuning, est::kLowestTuningFrequency)) * kGainSlope + 2.0;

    const est::SineCosine oscillator = est::sineCosine(B[e.oscillatorPhase]);
    ch.sine = oscillator.sine;
    ch.cosine = oscillator.cosine;

    const est::StageWindow w = channelWindow(ctx.memos->cascade[C], ch, e, ctx.sig);

    for (int ph = 0; ph < 3; ++ph) {
        const double x = ctx.in.phase[ph];
        B[kStageEntries[4 * ph + offset].input] = (x * ch.sine) * gain;
        B[kStageEntries[12 + 4 * ph + offset].input] = (x * ch.cosine) * gain;
    }

    runStages<offset>(*ctx.vectors, B, w, ch.filtered);
}

}  // namespace

void runHeterodyneCascade(est::StepContext& ctx) {
    runChannel<0>(ctx);
    runChannel<1>(ctx);
}

}  // namespace ORVANE_MODEL_NS
