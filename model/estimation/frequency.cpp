// Frequency from each channel's filtered products: a detector angle that
// advances by 2*pi*f*Ts per sample whatever the tuning, its per-sample step
// as a raw frequency, and a one-period moving average of that (the smoother)
// built from two staggered running sums that a free-running pulse restarts.
// Then ROCOF, the reported frequency and, after the outputs, the tracked
// frequency that retunes a restarting channel.
#include <cmath>
#include <cstdint>

#include "model/estimation/boxcar_stage.h"
#include "model/estimation/channel_limits.h"
#include "model/estimation/estimation_steps.h"
#include "model/estimation/non_finite.h"
#include "model/estimation/sequence.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr double kLowestFactor = 0.7;
constexpr double kHighestFactor = 1.3;
constexpr int32_t kLowestSmoothingDelay = 1;

double clampToRange(double value, double nominal) {
    if (kLowestFactor * nominal > value) value = kLowestFactor * nominal;
    return kHighestFactor * nominal < value ? kHighestFactor * nominal : value;
}

double detectorAngle(const est::FilteredProducts& fp, double sinTheta, double cosTheta) {
    double w[3];
    double u[3];
    for (int ph = 0; ph < 3; ++ph) {
        u[ph] = cosTheta * fp.cosine[ph] + sinTheta * fp.sine[ph];
        w[ph] = cosTheta * fp.sine[ph] - sinTheta * fp.cosine[ph];
    }
    const est::Complex v = est::positiveSequence(w, u);
    return atan2Safe(v.im, v.re);
}

// The smoother's window from its length W: the whole-sample delay, the
// edge weights of the interpolated oldest interval (as a boxcar stage forms
// them) and the normalising factor 1/min(W, 0.04), which only a window of at
// least 1e-9 s uses.
est::SmootherWindow smootherWindow(double window) {
    est::SmootherWindow w{};
    w.samples = kBuild.fs * window;
    w.whole = est::wholeWindow(w.samples, kLowestSmoothingDelay, kBuild.delayLineLength);
    w.edge = est::edgeWeights(w.whole.delay, w.samples);
    if (window >= 1e-9) {
        const double capped = est::kLongestWindow < window ? est::kLongestWindow : window;
        w.inverseCapped = 1.0 / capped;
    }
    return w;
}

// Detector, raw frequency and smoother of channel c; returns its window W.
double runChannel(est::StepContext& ctx, int c) {
    const WorkVectorTable& vectors = *ctx.vectors;
    BlockSignals* sig = ctx.sig;
    double* B = sig->B;
    const SmootherEntries& e = kSmoother[c];
    const SmootherVectors& v = kSmootherVectors[c];
    const est::ChannelStep& ch = ctx.ch[c];
    const double nominal = B[kChannelEntries[c].nominalFrequency];

    B[e.detectorAngle] = detectorAngle(ch.filtered, ch.sine, ch.cosine);
    const double step = est::wrapAngle(B[e.detectorAngle] - *dworkReal(vectors, v.prevDetectorAngle));
    B[e.rawFrequency] = clampToRange(kBuild.fsOverTwoPi * step, nominal);
    const double raw = B[e.rawFrequency];

    B[e.stageFactor] = ch.restart ? 1.0 : *dworkReal(vectors, v.prevStageFactor);
    const double window = B[e.stageFactor] * ch.period;

    // Free-running pulse: true for H samples, false for the next H.
    int32_t* counter = dworkInt(vectors, v.pulseCounter);
    const int32_t count = *counter;
    const bool pulse = 0 <= count && count <= kBuild.pulseHalfCycle - 1;
    sig->BB[e.pulsePhase] = pulse;
    *counter = count < 2 * kBuild.pulseHalfCycle - 1 ? count + 1 : 0;

    // Sum A restarts where the pulse turns false, sum B where it turns true.
    const bool prevPulse = *dworkBool(vectors, v.prevPulsePhase);
    const bool prevNotPulse = *dworkBool(vectors, v.prevNotPulsePhase);
    B[e.sumA] = (pulse || !prevPulse) ? (raw + *dworkReal(vectors, v.prevRawForSumA)) + *dworkReal(vectors, v.prevSumA) : 0.0;

    const est::SmootherWindow& sw = ctx.memos->smoother[c].get(window, smootherWindow);
    const est::WholeWindow& whole = sw.whole;
    B[e.windowCeilPrep] = whole.ceilPrep;
    sig->BI[e.wholeWindow] = whole.whole;
    sig->BI[e.delay] = whole.delay;
    const int32_t n = whole.delay;

    // The three lines advance together once a sample: they share a cursor
    // unless something outside the model has moved one of them.
    const int32_t length = kBuild.delayLineLength;
    const est::DelayLine lineA = {dworkReal(vectors, v.lineSumA), dworkInt(vectors, v.lineSumA + dw::kWriteIndexOffset)};
    const est::DelayLine lineB = {dworkReal(vectors, v.lineSumB), dworkInt(vectors, v.lineSumB + dw::kWriteIndexOffset)};
    const est::DelayLine lineRaw = {dworkReal(vectors, v.lineRaw), dworkInt(vectors, v.lineRaw + dw::kWriteIndexOffset)};
    const est::LineCursor shared = est::lineCursor(*lineA.writeIndex, n, length);

    const est::LineCursor cursorA = est::cursorOf(lineA, shared, n, length);
    est::writeLine(lineA, cursorA, B[e.sumA]);
    B[e.delayedSumA] = lineA.slots[cursorA.delayed];

    B[e.sumB] = (pulse && prevNotPulse) ? 0.0 : (raw + *dworkReal(vectors, v.prevRawForSumB)) + *dworkReal(vectors, v.prevSumB);
    const est::LineCursor cursorB = est::cursorOf(lineB, shared, n, length);
    est::writeLine(lineB, cursorB, B[e.sumB]);
    B[e.delayedSumB] = lineB.slots[cursorB.delayed];

    const est::LineCursor cursorRaw = est::cursorOf(lineRaw, shared, n, length);
    est::writeLine(lineRaw, cursorRaw, raw);
    B[e.delayedRaw0] = lineRaw.slots[cursorRaw.delayed];
    B[e.delayedRaw1] = lineRaw.slots[cursorRaw.following];

    // Each sum is read only in the half-cycle after the one it restarted in,
    // so its window never reaches back past its restart.
    double mean;
    if (B[e.stageFactor] > 0.0 && window >= 1e-9) {
        const double twice = pulse ? B[e.sumA] - B[e.delayedSumA] : B[e.sumB] - B[e.delayedSumB];
        const double edge = sw.edge.weight0 * B[e.delayedRaw0] + B[e.delayedRaw1] * sw.edge.weight1;
        mean = ((twice - edge) * sw.inverseCapped) * kBuild.halfTs;
    } else {
        mean = raw;
    }
    B[e.smoothed] = clampToRange(mean, nominal);
    return window;
}

}  // namespace

void runFrequency(est::StepContext& ctx) {
    double* B = ctx.sig->B;
    double window[2];
    double slope[2];
    for (int c = 0; c < 2; ++c) {
        window[c] = runChannel(ctx, c);
        slope[c] = (B[kSmoother[c].smoothed] - *dworkReal(*ctx.vectors, kChannelVectors[c].prevSmoothed)) * kBuild.fs;
    }
    const int a = ctx.active;
    B[sig::kRocof] = slope[a];
    // The average lags by half its window; advance it along its slope.
    B[sig::kReportedFrequency] = (0.5 * window[a]) * slope[a] + B[kSmoother[a].smoothed];
}

void runTrackedFrequency(est::StepContext& ctx) {
    double* B = ctx.sig->B;
    bool* BB = ctx.sig->BB;
    const SmootherEntries& active = kSmoother[ctx.active];

    // Tracked frequency: follows the active smoothed frequency at no more
    // than 100 Hz/s.
    const double prevTracked = *dworkReal(*ctx.vectors, dw::kPrevTracked);
    const double limit = kBuild.slewPerSample;
    double e = B[active.smoothed] - prevTracked;
    if (e < -limit) {
        e = -limit;
    } else if (e > limit) {
        e = limit;
    }
    B[sig::kTrackedFrequency] = e + prevTracked;

    B[sig::kActiveRawFrequency] = B[active.rawFrequency];
    for (const SmootherEntries& s : kSmoother) BB[s.notPulsePhase] = !BB[s.pulsePhase];
}

}  // namespace ORVANE_MODEL_NS
