// Heterodyne and filter cascade: each phase times the sine and the cosine of
// each channel's oscillator, each product through two fractional boxcar
// stages of one channel period. The result is a triangular weighting over
// two periods, centred one period back: the timestamp's instant.
#include <cstdint>

#include "model/estimation/boxcar_stage.h"
#include "model/estimation/estimation_steps.h"
#include "model/estimation/sine_cosine.h"
#include "model/work_vectors.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr double kLowestTuningFrequency = 25.0;
constexpr double kGainSlope = 0.04;
constexpr double kLongestWindow = 0.04;
constexpr int32_t kLowestCascadeDelay = 2;

// A channel's window from its period, as its stages use it (restart aside).
est::CascadeWindow cascadeWindow(double period) {
    const double samples = kBuild.fs * period;
    est::CascadeWindow c{};
    c.whole = est::wholeWindow(samples, kLowestCascadeDelay, kBuild.delayLineLength);

    est::StageWindow& w = c.stage;
    w.delay = c.whole.delay;
    w.length = kBuild.delayLineLength;
    const double u = static_cast<double>(c.whole.delay) - samples;
    w.weight1 = u * u;
    w.weight0 = 2.0 * u - w.weight1;
    double window;
    if (1e-9 > period) {
        window = 1e-9;
    } else if (period > kLongestWindow) {
        window = kLongestWindow;
    } else {
        window = period;
    }
    w.scale = (1.0 / window) * kBuild.halfTs;
    w.pass = 1e-9 > period;
    return c;
}

// The channel's window for this sample, with its entries recorded; it
// changes only with the period, that is at the channel's restart.
inline est::StageWindow channelWindow(est::Memo<double, est::CascadeWindow>& memo, double period, bool restart,
                                      int ceilPrepEntry, int wholeEntry, int delayEntry, BlockSignals* sig) {
    const est::CascadeWindow& c = memo.get(period, cascadeWindow);
    sig->B[ceilPrepEntry] = c.whole.ceilPrep;
    sig->BI[wholeEntry] = c.whole.whole;
    sig->BI[delayEntry] = c.whole.delay;
    est::StageWindow w = c.stage;
    w.restart = restart;
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
void runChannel(const WorkVectorTable& t, double* B, const est::StageWindow& w, est::FilteredProducts& out) {
    if (!w.restart && !w.pass) {
        runChannelStages<Offset, true>(t, B, w, out);
    } else {
        runChannelStages<Offset, false>(t, B, w, out);
    }
}

// Product entries: sine products of a, b, c for channels 1 and 2, then the
// cosine products in the same order.
constexpr int kSineProductCh1[3] = {13, 37, 59};
constexpr int kSineProductCh2[3] = {25, 48, 70};
constexpr int kCosineProductCh1[3] = {14, 38, 60};
constexpr int kCosineProductCh2[3] = {26, 49, 71};

}  // namespace

void runHeterodyneCascade(est::StepContext& ctx) {
    const WorkVectorTable& t = *ctx.vectors;
    BlockSignals* sig = ctx.sig;
    double* B = sig->B;

    const double tuning1 = B[sig::kTuningFrequencyCh1];
    const double tuning2 = B[sig::kTuningFrequencyCh2];
    // Unity-mean gain of 2 from 25 Hz up, falling linearly below.
    const double gain1 = (tuning1 - est::maxWithConstant(tuning1, kLowestTuningFrequency)) * kGainSlope + 2.0;
    const double gain2 = (tuning2 - est::maxWithConstant(tuning2, kLowestTuningFrequency)) * kGainSlope + 2.0;

    const est::SineCosine oscillator1 = est::sineCosine(B[sig::kOscillatorPhaseCh1]);
    const est::SineCosine oscillator2 = est::sineCosine(B[sig::kOscillatorPhaseCh2]);
    ctx.sinCh1 = oscillator1.sine;
    ctx.cosCh1 = oscillator1.cosine;
    ctx.sinCh2 = oscillator2.sine;
    ctx.cosCh2 = oscillator2.cosine;

    const est::StageWindow w1 = channelWindow(ctx.memos->cascadeCh1, ctx.periodCh1, ctx.restartCh1,
                                              sig::kWindowSamplesCeilPrepCh1, sig::kWholeWindowCh1,
                                              sig::kCascadeDelayCh1, sig);
    const est::StageWindow w2 = channelWindow(ctx.memos->cascadeCh2, ctx.periodCh2, ctx.restartCh2,
                                              sig::kWindowSamplesCeilPrepCh2, sig::kWholeWindowCh2,
                                              sig::kCascadeDelayCh2, sig);

    for (int ph = 0; ph < 3; ++ph) {
        const double x = ctx.in.phase[ph];
        B[kSineProductCh1[ph]] = (x * ctx.sinCh1) * gain1;
        B[kCosineProductCh1[ph]] = (x * ctx.cosCh1) * gain1;
        B[kSineProductCh2[ph]] = (x * ctx.sinCh2) * gain2;
        B[kCosineProductCh2[ph]] = (x * ctx.cosCh2) * gain2;
    }

    runChannel<0>(t, B, w1, ctx.filteredCh1);
    runChannel<2>(t, B, w2, ctx.filteredCh2);
}

}  // namespace ORVANE_MODEL_NS
