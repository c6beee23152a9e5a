// Generated three-phase test signals: cosines of absolute time, phase a at
// the given phase, b and c shifted by -120 and +120 degrees, with optional
// modulation, ramps, steps, harmonics, unbalance and noise.
#ifndef ORVANE_SIGNALS_THREE_PHASE_SIGNAL_H
#define ORVANE_SIGNALS_THREE_PHASE_SIGNAL_H

#include <cstdint>
#include <vector>

struct Harmonic {
    int order = 3;           // multiple of the fundamental frequency
    double fraction = 0.1;   // amplitude as a fraction of the fundamental's
    double phase = 0.0;      // rad, at t = 0
};

struct ThreePhaseSignalParameters {
    double amplitude = 100.0;   // peak, per phase
    double frequency = 50.0;    // Hz, at t = 0 (and before a ramp starts)
    double phase = 0.0;         // rad, of phase a at t = 0
    double startTime = 0.0;     // s, absolute time of the first sample
    // Amplitude modulation: amplitude * (1 + depth * cos(2*pi*fm*t)).
    double amDepth = 0.0;
    double amFrequency = 0.0;
    // Phase modulation: phase + depth * cos(2*pi*fm*t - pi).
    double pmDepth = 0.0;
    double pmFrequency = 0.0;
    // Frequency ramp of `rampRate` Hz/s between rampStart and rampEnd
    // (absolute times); the frequency holds its end value afterwards.
    double rampRate = 0.0;
    double rampStart = 0.0;
    double rampEnd = 0.0;
    // Steps at stepTime (absolute): magnitude times (1 + magnitudeStep),
    // phase plus phaseStep rad.
    double stepTime = 0.0;
    double magnitudeStep = 0.0;
    double phaseStep = 0.0;
    std::vector<Harmonic> harmonics;
    // Per-phase amplitude factors (unbalance): a, b, c.
    double phaseGain[3] = {1.0, 1.0, 1.0};
    // White Gaussian noise, standard deviation in the amplitude's unit.
    double noiseStdDev = 0.0;
    uint64_t noiseSeed = 1;
};

// Evaluates the signal sample by sample.
class ThreePhaseSignal {
public:
    explicit ThreePhaseSignal(const ThreePhaseSignalParameters& spec);
    // The three phase values at absolute time t. Noise, when enabled, is
    // drawn in call order, so evaluate each sample once, in time order.
    void sample(double t, double out[3]);
    // The exact positive-sequence phasor of the fundamental at time t (peak
    // magnitude, angle against a cosine of nominalFrequency whose phase is
    // zero at whole seconds), its frequency and ROCOF: the reference that
    // measurements are compared with.
    struct Reference {
        double magnitude;
        double angle;
        double frequency;
        double rocof;
    };
    Reference reference(double t, double nominalFrequency) const;

    const ThreePhaseSignalParameters& spec() const { return spec_; }

private:
    double rampDuration() const;
    double timeIntoRamp(double t) const;
    // Total phase of phase a's fundamental (rad) and its peak amplitude at
    // t, with ramp, modulation and steps applied.
    double fundamentalPhase(double t) const;
    double fundamentalAmplitude(double t) const;

    ThreePhaseSignalParameters spec_;
    uint64_t rngState_;
};

#endif  // ORVANE_SIGNALS_THREE_PHASE_SIGNAL_H
