#include "signals/three_phase_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

double wrap(double angle) { return std::remainder(angle, 2.0 * kPi); }

TEST(ThreePhaseSignal, SteadySetIsCosinesOfAbsoluteTimeShiftedByThirds) {
    ThreePhaseSignalParameters spec;
    spec.amplitude = 70.0;
    spec.frequency = 50.0;
    spec.phase = 0.3;
    ThreePhaseSignal signal(spec);
    for (double t : {0.0, 0.00013, 0.5, 1000.25, 1000.0001}) {
        double v[3];
        signal.sample(t, v);
        const double theta = 2.0 * kPi * 50.0 * t + 0.3;
        EXPECT_NEAR(v[0], 70.0 * std::cos(theta), 1e-9) << t;
        EXPECT_NEAR(v[1], 70.0 * std::cos(theta - 2.0 * kPi / 3.0), 1e-9) << t;
        EXPECT_NEAR(v[2], 70.0 * std::cos(theta + 2.0 * kPi / 3.0), 1e-9) << t;
        // At t = 1000 s the phase is 3e5 rad, rounded to 6e-11 rad per term.
        EXPECT_NEAR(v[0] + v[1] + v[2], 0.0, 1e-8) << t;
    }
}

// The measured angle is against a cosine of the nominal frequency whose
// phase is zero at whole seconds: a signal at nominal reads its own phase.
TEST(ThreePhaseSignal, ReferenceAngleOfANominalSignalIsItsPhase) {
    struct Case {
        double frequency;
        double nominal;
        double phase;
    };
    const Case cases[] = {{50.0, 50.0, 0.0}, {50.0, 50.0, 0.5}, {60.0, 60.0, -2.0}, {50.0, 50.0, kPi / 2}};
    for (const Case& c : cases) {
        ThreePhaseSignalParameters spec;
        spec.frequency = c.frequency;
        spec.phase = c.phase;
        ThreePhaseSignal signal(spec);
        for (double t : {0.0, 0.37, 1.0, 12.9, 1000.5}) {
            const auto ref = signal.reference(t, c.nominal);
            EXPECT_NEAR(wrap(ref.angle - c.phase), 0.0, 1e-9) << c.frequency << " " << t;
            EXPECT_DOUBLE_EQ(ref.frequency, c.frequency);
            EXPECT_EQ(ref.rocof, 0.0);
            EXPECT_DOUBLE_EQ(ref.magnitude, spec.amplitude);
        }
    }
}

// Phase a's sample is the reference phasor turned by the nominal reference
// cosine: va = |V| cos(angle + 2 pi F frac(t)), for any shape of signal
// without harmonics, noise or unbalance.
TEST(ThreePhaseSignal, SamplesAgreeWithTheReferencePhasor) {
    struct Case {
        const char* what;
        ThreePhaseSignalParameters spec;
    };
    ThreePhaseSignalParameters ramp;
    ramp.rampRate = 1.0;
    ramp.rampStart = 0.2;
    ramp.rampEnd = 0.7;
    ThreePhaseSignalParameters steps;
    steps.stepTime = 0.4;
    steps.magnitudeStep = 0.1;
    steps.phaseStep = 0.2;
    ThreePhaseSignalParameters modulated;
    modulated.amDepth = 0.1;
    modulated.amFrequency = 2.0;
    modulated.pmDepth = 0.1;
    modulated.pmFrequency = 3.0;
    ThreePhaseSignalParameters offNominal;
    offNominal.frequency = 51.5;
    const Case cases[] = {{"ramp", ramp}, {"steps", steps}, {"modulation", modulated}, {"off-nominal", offNominal}};
    for (const Case& c : cases) {
        ThreePhaseSignal signal(c.spec);
        for (double t = 0.0; t < 1.0; t += 0.0137) {
            double v[3];
            signal.sample(t, v);
            const auto ref = signal.reference(t, 50.0);
            const double expected = ref.magnitude * std::cos(ref.angle + 2.0 * kPi * 50.0 * (t - std::floor(t)));
            EXPECT_NEAR(v[0], expected, 1e-9) << c.what << " t=" << t;
        }
    }
}

// Frequency is the derivative of the phase and ROCOF that of the frequency.
TEST(ThreePhaseSignal, ReferenceFrequencyAndRocofAreDerivatives) {
    ThreePhaseSignalParameters ramp;
    ramp.rampRate = 2.0;
    ramp.rampStart = 0.2;
    ramp.rampEnd = 0.7;
    ThreePhaseSignalParameters modulated;
    modulated.pmDepth = 0.1;
    modulated.pmFrequency = 3.0;
    const double h = 1e-6;
    for (const ThreePhaseSignalParameters& spec : {ramp, modulated}) {
        ThreePhaseSignal signal(spec);
        for (double t : {0.1, 0.33, 0.5, 0.69, 0.9}) {
            const auto before = signal.reference(t - h, 50.0);
            const auto after = signal.reference(t + h, 50.0);
            const auto at = signal.reference(t, 50.0);
            const double frequency = 50.0 + wrap(after.angle - before.angle) / (2.0 * kPi * 2.0 * h);
            EXPECT_NEAR(frequency, at.frequency, 1e-4) << t;
            EXPECT_NEAR((after.frequency - before.frequency) / (2.0 * h), at.rocof, 1e-3) << t;
        }
    }
    ThreePhaseSignal signal(ramp);
    EXPECT_DOUBLE_EQ(signal.reference(0.1, 50.0).frequency, 50.0);
    EXPECT_DOUBLE_EQ(signal.reference(0.45, 50.0).frequency, 50.5);
    EXPECT_DOUBLE_EQ(signal.reference(0.9, 50.0).frequency, 51.0);
}

TEST(ThreePhaseSignal, HarmonicsFollowTheirPhaseSequence) {
    ThreePhaseSignalParameters spec;
    spec.harmonics = {Harmonic{3, 0.1, 0.0}};
    ThreePhaseSignal signal(spec);
    double v[3];
    signal.sample(0.0123, v);
    const double theta = 2.0 * kPi * 50.0 * 0.0123;
    // The third harmonic is in phase on all three phases (zero sequence).
    const double third = 10.0 * std::cos(3.0 * theta);
    EXPECT_NEAR(v[0], 100.0 * std::cos(theta) + third, 1e-9);
    EXPECT_NEAR(v[1], 100.0 * std::cos(theta - 2.0 * kPi / 3.0) + third, 1e-9);
    EXPECT_NEAR(v[0] + v[1] + v[2], 3.0 * third, 1e-9);
}

TEST(ThreePhaseSignal, UnbalanceScalesPhasesAndThePositiveSequence) {
    ThreePhaseSignalParameters spec;
    spec.phaseGain[1] = 0.9;
    spec.phaseGain[2] = 1.2;
    ThreePhaseSignal signal(spec);
    double v[3];
    signal.sample(0.0, v);
    EXPECT_NEAR(v[1], 0.9 * 100.0 * std::cos(-2.0 * kPi / 3.0), 1e-9);
    EXPECT_NEAR(signal.reference(0.0, 50.0).magnitude, 100.0 * (1.0 + 0.9 + 1.2) / 3.0, 1e-12);
}

TEST(ThreePhaseSignal, NoiseIsReproducibleAndOfTheGivenSpread) {
    ThreePhaseSignalParameters spec;
    spec.amplitude = 0.0;
    spec.noiseStdDev = 2.0;
    spec.noiseSeed = 7;
    ThreePhaseSignal first(spec);
    ThreePhaseSignal second(spec);
    double sum = 0.0;
    double sumSquares = 0.0;
    const int samples = 20000;
    for (int k = 0; k < samples; ++k) {
        double a[3];
        double b[3];
        first.sample(k * 1e-4, a);
        second.sample(k * 1e-4, b);
        for (int p = 0; p < 3; ++p) {
            ASSERT_EQ(a[p], b[p]);
            sum += a[p];
            sumSquares += a[p] * a[p];
        }
    }
    const double n = 3.0 * samples;
    EXPECT_NEAR(sum / n, 0.0, 0.05);
    EXPECT_NEAR(std::sqrt(sumSquares / n), 2.0, 0.05);
}

}  // namespace
