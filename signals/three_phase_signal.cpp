#include "signals/three_phase_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Phases b and c lag and lead phase a by a third of a turn.
constexpr double kPhaseShift[3] = {0.0, -kTwoPi / 3.0, kTwoPi / 3.0};

// splitmix64: small, fast and good enough for test noise; reproducible from
// the seed on every platform.
uint64_t nextRandom(uint64_t& state) {
    state += 0x9e3779b97f4a7c15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Uniform in (0, 1]: never 0, so the logarithm below stays finite.
double uniformOpen(uint64_t& state) {
    return (static_cast<double>(nextRandom(state) >> 11) + 1.0) * 0x1.0p-53;
}

// One standard normal deviate (Box-Muller, cosine branch).
double standardNormal(uint64_t& state) {
    const double u1 = uniformOpen(state);
    const double u2 = uniformOpen(state);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

double wrapAngle(double angle) {
    double wrapped = std::remainder(angle, kTwoPi);
    if (wrapped <= -std::numbers::pi) wrapped += kTwoPi;
    return wrapped;
}

}  // namespace

ThreePhaseSignal::ThreePhaseSignal(const ThreePhaseSignalParameters& spec) : spec_(spec), rngState_(spec.noiseSeed) {}

double ThreePhaseSignal::rampDuration() const {
    return std::max(0.0, spec_.rampEnd - spec_.rampStart);
}

// Time spent inside the ramp up to t, 0 before it and the whole ramp after it.
double ThreePhaseSignal::timeIntoRamp(double t) const {
    return std::clamp(t - spec_.rampStart, 0.0, rampDuration());
}

double ThreePhaseSignal::fundamentalPhase(double t) const {
    // The frequency integrated from 0: f*t, plus the ramp's extra cycles
    // (rate*tau^2/2 inside it, then the end offset held for the time after).
    double phase = kTwoPi * spec_.frequency * t + spec_.phase;
    if (spec_.rampRate != 0.0) {
        const double tau = timeIntoRamp(t);
        const double afterRamp = std::max(0.0, t - spec_.rampStart - rampDuration());
        const double extraCycles = spec_.rampRate * tau * tau / 2.0 + spec_.rampRate * rampDuration() * afterRamp;
        phase += kTwoPi * extraCycles;
    }
    if (spec_.pmDepth != 0.0) {
        phase += spec_.pmDepth * std::cos(kTwoPi * spec_.pmFrequency * t - std::numbers::pi);
    }
    if (t >= spec_.stepTime) phase += spec_.phaseStep;
    return phase;
}

double ThreePhaseSignal::fundamentalAmplitude(double t) const {
    double amplitude = spec_.amplitude;
    if (spec_.amDepth != 0.0) {
        amplitude *= 1.0 + spec_.amDepth * std::cos(kTwoPi * spec_.amFrequency * t);
    }
    if (t >= spec_.stepTime) amplitude *= 1.0 + spec_.magnitudeStep;
    return amplitude;
}

void ThreePhaseSignal::sample(double t, double out[3]) {
    const double amplitude = fundamentalAmplitude(t);
    const double phase = fundamentalPhase(t);
    for (int p = 0; p < 3; ++p) {
        double value = amplitude * std::cos(phase + kPhaseShift[p]);
        // A harmonic of order h is shifted by h times the fundamental's
        // shift, as in a balanced system (the third is zero-sequence).
        for (const Harmonic& h : spec_.harmonics) {
            value += h.fraction * amplitude * std::cos(h.order * (phase + kPhaseShift[p]) + h.phase);
        }
        value *= spec_.phaseGain[p];
        if (spec_.noiseStdDev != 0.0) value += spec_.noiseStdDev * standardNormal(rngState_);
        out[p] = value;
    }
}

ThreePhaseSignal::Reference ThreePhaseSignal::reference(double t, double nominalFrequency) const {
    // With per-phase gains on a balanced set, the positive sequence keeps
    // the angle of phase a and carries the mean gain.
    const double meanGain = (spec_.phaseGain[0] + spec_.phaseGain[1] + spec_.phaseGain[2]) / 3.0;
    const double wholeSeconds = std::floor(t);
    const double referencePhase = kTwoPi * nominalFrequency * (t - wholeSeconds);

    double frequency = spec_.frequency;
    double rocof = 0.0;
    if (spec_.rampRate != 0.0) {
        frequency += spec_.rampRate * timeIntoRamp(t);
        if (t > spec_.rampStart && t < spec_.rampStart + rampDuration()) rocof += spec_.rampRate;
    }
    if (spec_.pmDepth != 0.0) {
        const double argument = kTwoPi * spec_.pmFrequency * t - std::numbers::pi;
        frequency -= spec_.pmDepth * spec_.pmFrequency * std::sin(argument);
        rocof -= spec_.pmDepth * kTwoPi * spec_.pmFrequency * spec_.pmFrequency * std::cos(argument);
    }
    return Reference{
        fundamentalAmplitude(t) * meanGain,
        wrapAngle(fundamentalPhase(t) - referencePhase),
        frequency,
        rocof,
    };
}
