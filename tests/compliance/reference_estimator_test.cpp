// The reference estimator: its filter, and what it measures on signals whose
// phasor is known.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "builds/sample_rate_build.h"
#include "compliance/reference_estimator.h"
#include "signals/three_phase_signal.h"

namespace {

struct OrderCase {
    const SampleRateBuild* build;
    double nominalFrequency;
    int order;
};

TEST(ReferenceFilter, OrderIsTwoNominalCyclesLessTwoRoundedToEven) {
    const OrderCase cases[] = {
        {&kBuild10kHz, 50.0, 398}, {&kBuild14p4kHz, 50.0, 574}, {&kBuild4kHz, 50.0, 158},
        {&kBuild10kHz, 60.0, 332}, {&kBuild14p4kHz, 60.0, 478}, {&kBuild4kHz, 60.0, 132},
    };
    for (const OrderCase& c : cases) {
        ReferenceEstimator e(c.build->fs, c.build->ts, c.nominalFrequency);
        EXPECT_EQ(e.order(), c.order) << c.build->fs << " Hz, f0 " << c.nominalFrequency;
        // Triangular weights 1 - 2|k|/(N+2) sum to N/2 + 1.
        EXPECT_DOUBLE_EQ(e.gain(), c.order / 2 + 1.0);
    }
}

// One second of a signal from 1000 s, sampled at the build's rate.
struct Recording {
    explicit Recording(const ThreePhaseSignalParameters& spec, const SampleRateBuild& build)
        : signal(spec), count(static_cast<std::size_t>(1.0 / build.ts)), samples(3 * count) {
        for (std::size_t n = 0; n < count; ++n) signal.sample(1000.0 + static_cast<double>(n) * build.ts, &samples[3 * n]);
    }
    ThreePhaseSignal signal;
    std::size_t count;
    std::vector<double> samples;
};

struct SignalCase {
    const char* what;
    const SampleRateBuild* build;
    double nominalFrequency;
    double frequency;
    double phase;
    double rampRate;
    double instantOffset;  // s added to 1000.5: between samples when not a multiple of Ts
    double tve;            // bounds on this signal
    double fe;
    double rfe;
};

TEST(ReferenceEstimator, MeasuresKnownSignals) {
    const SignalCase cases[] = {
        {"nominal", &kBuild10kHz, 50.0, 50.0, 0.4, 0.0, 0.0, 1e-9, 1e-9, 1e-5},
        {"off nominal, corrected magnitude", &kBuild10kHz, 50.0, 51.5, 0.3, 0.0, 0.0, 1e-4, 1e-9, 1e-5},
        {"between samples", &kBuild14p4kHz, 60.0, 58.25, -2.0, 0.0, 2.5e-5, 1e-4, 1e-9, 1e-5},
        {"fractional fs/f0", &kBuild4kHz, 60.0, 62.0, 1.0, 0.0, 0.0, 2e-4, 1e-9, 1e-5},
        {"ramp", &kBuild10kHz, 50.0, 49.0, 0.0, 1.0, 0.0, 5e-4, 1e-6, 1e-5},
    };
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(c.what);
        ThreePhaseSignalParameters spec;
        spec.frequency = c.frequency;
        spec.phase = c.phase;
        if (c.rampRate != 0.0) {
            spec.rampRate = c.rampRate;
            spec.rampStart = 1000.1;
            spec.rampEnd = 1001.0;
        }
        Recording rec(spec, *c.build);
        ReferenceEstimator e(c.build->fs, c.build->ts, c.nominalFrequency);
        const double t = 1000.5 + c.instantOffset;
        PhasorEstimate measured;
        double lastSample = 0.0;
        ASSERT_TRUE(e.estimate(rec.samples.data(), rec.count, 1000.0, t, measured, lastSample));
        const ThreePhaseSignal::Reference r = rec.signal.reference(t, c.nominalFrequency);
        const PhasorEstimate ideal{r.magnitude, r.angle, r.frequency, r.rocof};
        EXPECT_LT(totalVectorError(measured, ideal), c.tve);
        EXPECT_LT(frequencyError(measured, ideal), c.fe);
        EXPECT_LT(rocofError(measured, ideal), c.rfe + 1e-3 * std::abs(c.rampRate));
    }
}

TEST(ReferenceEstimator, LatencyIsHalfTheWindowAndTheDerivativeSample) {
    ThreePhaseSignalParameters spec;
    Recording rec(spec, kBuild10kHz);
    ReferenceEstimator e(kBuild10kHz.fs, kBuild10kHz.ts, 50.0);
    PhasorEstimate measured;
    double lastSample = 0.0;
    ASSERT_TRUE(e.estimate(rec.samples.data(), rec.count, 1000.0, 1000.5, measured, lastSample));
    EXPECT_NEAR(lastSample - 1000.5, (e.order() / 2 + 1) * kBuild10kHz.ts, 1e-9);
    // Between samples the next centre is needed too.
    ASSERT_TRUE(e.estimate(rec.samples.data(), rec.count, 1000.0, 1000.50005, measured, lastSample));
    EXPECT_NEAR(lastSample - 1000.5, (e.order() / 2 + 2) * kBuild10kHz.ts, 1e-9);
}

TEST(ReferenceEstimator, RefusesInstantsWhoseWindowLeavesTheSamples) {
    ThreePhaseSignalParameters spec;
    Recording rec(spec, kBuild10kHz);
    ReferenceEstimator e(kBuild10kHz.fs, kBuild10kHz.ts, 50.0);
    PhasorEstimate measured;
    double lastSample = 0.0;
    const long half = e.order() / 2;
    const long last = static_cast<long>(rec.count) - 1;
    auto at = [&](long n) { return 1000.0 + static_cast<double>(n) * kBuild10kHz.ts; };
    // A centre needs half a window on either side and one more sample for
    // the angle's central differences.
    EXPECT_FALSE(e.estimate(rec.samples.data(), rec.count, 1000.0, at(half), measured, lastSample));
    EXPECT_TRUE(e.estimate(rec.samples.data(), rec.count, 1000.0, at(half + 1), measured, lastSample));
    EXPECT_TRUE(e.estimate(rec.samples.data(), rec.count, 1000.0, at(last - half - 1), measured, lastSample));
    EXPECT_FALSE(e.estimate(rec.samples.data(), rec.count, 1000.0, at(last - half), measured, lastSample));
    EXPECT_FALSE(e.estimate(rec.samples.data(), rec.count, 1000.0, std::numeric_limits<double>::quiet_NaN(),
                            measured, lastSample));
}

}  // namespace
