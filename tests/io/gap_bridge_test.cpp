#include "io/gap_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double wave(int k, int phase) { return 100.0 * std::cos(2 * M_PI * 50.0 * k / 10000.0 - 2 * M_PI * phase / 3.0); }

// On a steady waveform a short gap is filled with what the samples would
// have been; the marks run from the gap to one filter memory after it. A gap
// longer than that memory is bridged only up to it.
TEST(GapBridge, ShortGapsFilledLongGapsLeftAndMarksSpanTheMemory) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    GapBridge bridge(10000.0, 50.0);
    ASSERT_EQ(bridge.periodSamples(), 200u);
    ASSERT_EQ(bridge.memorySamples(), 1200u);
    int firstMarked = -1, lastMarked = -1;
    for (int k = 0; k < 4000; ++k) {
        double phase[3] = {wave(k, 0), wave(k, 1), wave(k, 2)};
        const bool gap = k >= 1000 && k < 1010;
        if (gap) phase[1] = nan;
        if (k == 1005) phase[2] = std::numeric_limits<double>::infinity();
        const bool marked = bridge.process(phase);
        if (marked && firstMarked < 0) firstMarked = k;
        if (marked) lastMarked = k;
        for (int p = 0; p < 3; ++p) EXPECT_NEAR(phase[p], wave(k, p), 1e-9) << k;
    }
    EXPECT_EQ(firstMarked, 1000);
    EXPECT_EQ(lastMarked, 1009 + 1199);
    EXPECT_EQ(bridge.bridgedSamples(), 10u);
    EXPECT_EQ(bridge.unbridgedSamples(), 0u);

    GapBridge longGap(10000.0, 50.0);
    int left = 0;
    for (int k = 0; k < 4000; ++k) {
        double phase[3] = {wave(k, 0), wave(k, 1), wave(k, 2)};
        if (k >= 400) phase[0] = nan;
        longGap.process(phase);
        left += std::isnan(phase[0]);
    }
    EXPECT_EQ(longGap.bridgedSamples(), 1200u);
    EXPECT_EQ(left, 4000 - 400 - 1200);
}

// A three-phase set at `f` with one harmonic, on a time of day.
struct Wave {
    double fs, f;
    int order;
    double fraction;
    double at(long k, int phase) const {
        const double t = 80000.37 + static_cast<double>(k) / fs;
        const double a = 2 * M_PI * f * t - 2 * M_PI * phase / 3.0;
        return 100.0 * (std::cos(a) + fraction * std::cos(order * a));
    }
};

// Off nominal anywhere in the class-P range, with a harmonic, bursts of 1
// to 8 lost samples are filled with what the samples would have been: the
// waveform is continued with its measured period. (Continued with the
// nominal period instead, a sample at 51.5 Hz would be off by 19 % of the
// amplitude.)
TEST(GapBridge, BurstsOffNominalAreFilledWithTheWaveformsOwnPeriod) {
    struct Case {
        double fs, nominal, f;
        int order;
        double fraction, tolerance;  // of the amplitude
    } cases[] = {
        {4000, 50, 51.5, 1, 0.0, 1e-4}, {4000, 50, 48.0, 1, 0.0, 1e-4},  {4800, 60, 62.0, 1, 0.0, 1e-4},
        {4800, 60, 58.0, 1, 0.0, 1e-4}, {4000, 60, 61.7, 7, 0.01, 1e-3}, {4000, 50, 52.0, 25, 0.01, 5e-3},
    };
    for (const Case& c : cases) {
        const Wave wave{c.fs, c.f, c.order, c.fraction};
        GapBridge bridge(c.fs, c.nominal);
        double worst = 0.0;
        for (long k = 0; k < static_cast<long>(c.fs) * 3; ++k) {
            double phase[3] = {wave.at(k, 0), wave.at(k, 1), wave.at(k, 2)};
            // After half a second, a burst of 1..8 samples every 97.
            const long burst = 1 + (k / 97) % 8;
            const bool lost = k > static_cast<long>(c.fs) / 2 && k % 97 < burst;
            if (lost) phase[0] = phase[1] = phase[2] = std::numeric_limits<double>::quiet_NaN();
            const ReportQuality q = bridge.process(phase);
            EXPECT_EQ(q & kQualityMissing, 0) << c.f << " Hz, sample " << k;
            for (int p = 0; p < 3 && lost; ++p) worst = std::max(worst, std::fabs(phase[p] - wave.at(k, p)) / 100.0);
        }
        EXPECT_LT(worst, c.tolerance) << c.fs << " Hz, " << c.f << " Hz, harmonic " << c.order;
        EXPECT_NEAR(bridge.bridgingPeriod(), c.fs / c.f, 1e-3) << c.f << " Hz";
    }
}

// The word: a run within the proven span (2 ms, 8 samples at 4000 Hz)
// gives "bridged" from its first sample until one memory span after its
// last; a longer run gives "missing" (do not use) from the sample that
// takes it past the span.
TEST(GapBridge, RunsWithinTheProvenSpanAreBridgedLongerOnesMissing) {
    const Wave wave{4000, 50.7, 1, 0.0};
    GapBridge bridge(4000, 50);
    ASSERT_EQ(bridge.provenSamples(), 8u);
    ASSERT_EQ(bridge.memorySamples(), 480u);
    for (long k = 0; k < 12000; ++k) {
        double phase[3] = {wave.at(k, 0), wave.at(k, 1), wave.at(k, 2)};
        const bool inShort = k >= 2000 && k < 2008, inLong = k >= 6000 && k < 6009;
        if (inShort || inLong) phase[1] = std::numeric_limits<double>::quiet_NaN();
        const ReportQuality q = bridge.process(phase);
        const bool bridged = (k >= 2000 && k <= 2007 + 479) || (k >= 6000 && k <= 6007 + 479);
        const bool missing = k >= 6008 && k <= 6008 + 479;
        ASSERT_EQ(q, (bridged ? kQualityBridged : 0) | (missing ? kQualityMissing : 0)) << "sample " << k;
        EXPECT_EQ(qualityDoNotUse(q), missing) << "sample " << k;
    }
    EXPECT_EQ(bridge.bridgedSamples(), 17u);
}

}  // namespace

namespace {

// Losses denser than the bridge was proven for: every run is short, yet
// each bridged sample continues bridged ones; they are graded missing, and
// sparse losses of the same run length are not.
TEST(GapBridge, DenseLossesAreMissingSparseOnesBridged) {
    const Wave wave{4000, 50.0, 1, 0.0};
    for (const int every : {3, 50}) {  // one sample lost in 3 (33 %), in 50 (2 %)
        GapBridge bridge(4000, 50);
        bool anyMissing = false;
        for (long k = 0; k < 8000; ++k) {
            double phase[3] = {wave.at(k, 0), wave.at(k, 1), wave.at(k, 2)};
            if (k >= 1000 && k % every == 0) phase[0] = std::numeric_limits<double>::quiet_NaN();
            anyMissing = anyMissing || (bridge.process(phase) & kQualityMissing) != 0;
        }
        EXPECT_EQ(anyMissing, every == 3) << "one in " << every;
    }
}

}  // namespace
