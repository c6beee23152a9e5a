// Heterodyne and filter cascade: each phase times the sine and the cosine of
// each channel's oscillator, each product through two fractional boxcar
// stages of one channel period. The result is a triangular weighting over
// two periods, centred one period back: the timestamp's instant.
#include <cmath>
#include <cstdint>

#include "model/estimation/boxcar_stage.h"
#include "model/estimation/estimation_steps.h"
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

est::StageMemory stageMemory(SimStruct* S, int stage) {
    const int sumsLine = stageSumsLineVector(stage);
    const int inputsLine = stageInputsLineVector(stage);
    est::StageMemory m{};
    m.prevInput = dworkReal(S, stagePrevInputVector(stage));
    m.prevSum = dworkReal(S, stagePrevSumVector(stage));
    m.sums = {dworkReal(S, sumsLine), dworkInt(S, sumsLine + dw::kWriteIndexOffset), kBuild.delayLineLength};
    m.inputs = {dworkReal(S, inputsLine), dworkInt(S, inputsLine + dw::kWriteIndexOffset), kBuild.delayLineLength};
    return m;
}

// Runs stage `stage` (0-based) on its input entry and records its values.
double runStage(SimStruct* S, BlockSignals* sig, int stage, const est::StageWindow& w) {
    const StageEntries& e = kStageEntries[stage];
    const est::StageResult r = est::boxcarStep(stageMemory(S, stage), w, sig->B[e.input]);
    sig->B[e.sum] = r.sum;
    sig->B[e.delayedSum] = r.delayedSum;
    sig->B[e.delayedInput0] = r.delayedInput0;
    sig->B[e.delayedInput1] = r.delayedInput1;
    if (e.output >= 0) sig->B[e.output] = r.output;
    return r.output;
}

// Product entries: sine products of a, b, c for channels 1 and 2, then the
// cosine products in the same order.
constexpr int kSineProductCh1[3] = {13, 37, 59};
constexpr int kSineProductCh2[3] = {25, 48, 70};
constexpr int kCosineProductCh1[3] = {14, 38, 60};
constexpr int kCosineProductCh2[3] = {26, 49, 71};

}  // namespace

void runHeterodyneCascade(est::StepContext& ctx) {
    SimStruct* S = ctx.S;
    BlockSignals* sig = ctx.sig;
    double* B = sig->B;

    const double tuning1 = B[sig::kTuningFrequencyCh1];
    const double tuning2 = B[sig::kTuningFrequencyCh2];
    // Unity-mean gain of 2 from 25 Hz up, falling linearly below.
    const double gain1 = (tuning1 - est::maxWithConstant(tuning1, kLowestTuningFrequency)) * kGainSlope + 2.0;
    const double gain2 = (tuning2 - est::maxWithConstant(tuning2, kLowestTuningFrequency)) * kGainSlope + 2.0;

    ctx.sinCh1 = std::sin(B[sig::kOscillatorPhaseCh1]);
    ctx.cosCh1 = std::cos(B[sig::kOscillatorPhaseCh1]);
    ctx.sinCh2 = std::sin(B[sig::kOscillatorPhaseCh2]);
    ctx.cosCh2 = std::cos(B[sig::kOscillatorPhaseCh2]);

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
    for (int ph = 0; ph < 3; ++ph) {
        const int sineStage = 4 * ph;
        runStage(S, sig, sineStage, w1);
        ctx.filteredCh1.sine[ph] = runStage(S, sig, sineStage + 1, w1);
        runStage(S, sig, sineStage + 2, w2);
        ctx.filteredCh2.sine[ph] = runStage(S, sig, sineStage + 3, w2);
    }
    for (int ph = 0; ph < 3; ++ph) {
        const int cosineStage = 12 + 4 * ph;
        runStage(S, sig, cosineStage, w1);
        ctx.filteredCh1.cosine[ph] = runStage(S, sig, cosineStage + 1, w1);
        runStage(S, sig, cosineStage + 2, w2);
        ctx.filteredCh2.cosine[ph] = runStage(S, sig, cosineStage + 3, w2);
    }
}

}  // namespace ORVANE_MODEL_NS
