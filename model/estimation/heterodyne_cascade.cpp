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

est::StageWindow channelWindow(double period, bool restart, int ceilPrepEntry, int wholeEntry, int delayEntry,
                               BlockSignals* sig) {
    const double samples = kBuild.fs * period;
    const est::WholeWindow whole = est::wholeWindow(samples, kLowestCascadeDelay, kBuild.delayLineLength);
    sig->B[ceilPrepEntry] = whole.ceilPrep;
    sig->BI[wholeEntry] = whole.whole;
    sig->BI[delayEntry] = whole.delay;

    est::StageWindow w{};
    w.delay = whole.delay;
    const double u = static_cast<double>(whole.delay) - samples;
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
    w.restart = restart;
    return w;
}

// Stage `Stage` (0-based) on its input entry, recording its values; the
// stage's entries and work vectors are compile-time constants, so each
// sample resolves them without tables.
template <int Stage>
inline __attribute__((always_inline)) double runStage(const WorkVectorTable& S, double* B, const est::StageWindow& w) {
    constexpr StageEntries e = kStageEntries[Stage];
    constexpr int sumsLine = stageSumsLineVector(Stage);
    constexpr int inputsLine = stageInputsLineVector(Stage);
    const est::StageMemory mem = {
        dworkReal(S, stagePrevInputVector(Stage)),
        dworkReal(S, stagePrevSumVector(Stage)),
        {dworkReal(S, sumsLine), dworkInt(S, sumsLine + dw::kWriteIndexOffset), kBuild.delayLineLength},
        {dworkReal(S, inputsLine), dworkInt(S, inputsLine + dw::kWriteIndexOffset), kBuild.delayLineLength},
    };
    const est::StageResult r = est::boxcarStep(mem, w, B[e.input]);
    B[e.sum] = r.sum;
    B[e.delayedSum] = r.delayedSum;
    B[e.delayedInput0] = r.delayedInput0;
    B[e.delayedInput1] = r.delayedInput1;
    if constexpr (e.output >= 0) B[e.output] = r.output;
    return r.output;
}

// The four stages of one product pair: both stages of channel 1, then both
// of channel 2. Returns the two second-stage outputs.
template <int First>
inline __attribute__((always_inline)) void runProductPair(const WorkVectorTable& S, double* B, const est::StageWindow& w1,
                                                          const est::StageWindow& w2, double& out1, double& out2) {
    runStage<First>(S, B, w1);
    out1 = runStage<First + 1>(S, B, w1);
    runStage<First + 2>(S, B, w2);
    out2 = runStage<First + 3>(S, B, w2);
}

// Product entries: sine products of a, b, c for channels 1 and 2, then the
// cosine products in the same order.
constexpr int kSineProductCh1[3] = {13, 37, 59};
constexpr int kSineProductCh2[3] = {25, 48, 70};
constexpr int kCosineProductCh1[3] = {14, 38, 60};
constexpr int kCosineProductCh2[3] = {26, 49, 71};

}  // namespace

void runHeterodyneCascade(est::StepContext& ctx) {
    const WorkVectorTable& S = *ctx.vectors;
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

    const est::StageWindow w1 = channelWindow(ctx.periodCh1, ctx.restartCh1, sig::kWindowSamplesCeilPrepCh1,
                                              sig::kWholeWindowCh1, sig::kCascadeDelayCh1, sig);
    const est::StageWindow w2 = channelWindow(ctx.periodCh2, ctx.restartCh2, sig::kWindowSamplesCeilPrepCh2,
                                              sig::kWholeWindowCh2, sig::kCascadeDelayCh2, sig);

    for (int ph = 0; ph < 3; ++ph) {
        const double x = ctx.in.phase[ph];
        B[kSineProductCh1[ph]] = (x * ctx.sinCh1) * gain1;
        B[kCosineProductCh1[ph]] = (x * ctx.cosCh1) * gain1;
        B[kSineProductCh2[ph]] = (x * ctx.sinCh2) * gain2;
        B[kCosineProductCh2[ph]] = (x * ctx.cosCh2) * gain2;
    }

    // Stages 4p..4p+3 filter the products of phase p, channel 1 then 2;
    // sines in stages 0..11, cosines in 12..23.
    runProductPair<0>(S, B, w1, w2, ctx.filteredCh1.sine[0], ctx.filteredCh2.sine[0]);
    runProductPair<4>(S, B, w1, w2, ctx.filteredCh1.sine[1], ctx.filteredCh2.sine[1]);
    runProductPair<8>(S, B, w1, w2, ctx.filteredCh1.sine[2], ctx.filteredCh2.sine[2]);
    runProductPair<12>(S, B, w1, w2, ctx.filteredCh1.cosine[0], ctx.filteredCh2.cosine[0]);
    runProductPair<16>(S, B, w1, w2, ctx.filteredCh1.cosine[1], ctx.filteredCh2.cosine[1]);
    runProductPair<20>(S, B, w1, w2, ctx.filteredCh1.cosine[2], ctx.filteredCh2.cosine[2]);
}

}  // namespace ORVANE_MODEL_NS
