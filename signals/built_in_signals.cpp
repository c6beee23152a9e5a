#include "signals/built_in_signals.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "io/block_time_range.h"
#include "signals/signal_sample_source.h"
#include "signals/three_phase_signal.h"

namespace {

// What a signal's defaults may depend on.
struct SignalFrame {
    double nominalFrequency;
    double eventTime;  // absolute time of a step or a ramp's start
    double endTime;    // absolute time just after the last sample
};

struct BuiltInSignal {
    BuiltInSignalInfo info;
    void (*applyDefaults)(ThreePhaseSignalParameters& spec, const SignalFrame& frame);
};

const BuiltInSignal kSignals[] = {
    {{"steady", "balanced set at the nominal frequency"}, [](ThreePhaseSignalParameters&, const SignalFrame&) {}},
    {{"off-nominal", "balanced set 1.5 Hz above nominal"},
     [](ThreePhaseSignalParameters& s, const SignalFrame& f) { s.frequency = f.nominalFrequency + 1.5; }},
    {{"ramp", "frequency ramp of 1 Hz/s from the event time to the end"},
     [](ThreePhaseSignalParameters& s, const SignalFrame& f) {
         s.rampRate = 1.0;
         s.rampStart = f.eventTime;
         s.rampEnd = f.endTime;
     }},
    {{"magnitude-step", "magnitude step of +10 % at the event time"},
     [](ThreePhaseSignalParameters& s, const SignalFrame& f) {
         s.stepTime = f.eventTime;
         s.magnitudeStep = 0.1;
     }},
    {{"phase-step", "phase step of +10 degrees at the event time"},
     [](ThreePhaseSignalParameters& s, const SignalFrame& f) {
         s.stepTime = f.eventTime;
         s.phaseStep = std::numbers::pi / 18.0;
     }},
    {{"amplitude-modulation", "amplitude modulated 10 % at 2 Hz"},
     [](ThreePhaseSignalParameters& s, const SignalFrame&) {
         s.amDepth = 0.1;
         s.amFrequency = 2.0;
     }},
    {{"phase-modulation", "phase modulated 5 degrees at 2 Hz"},
     [](ThreePhaseSignalParameters& s, const SignalFrame&) {
         s.pmDepth = 5.0 * std::numbers::pi / 180.0;
         s.pmFrequency = 2.0;
     }},
    {{"harmonics", "10 % third harmonic"},
     [](ThreePhaseSignalParameters& s, const SignalFrame&) { s.harmonics = {Harmonic{3, 0.1, 0.0}}; }},
    {{"unbalance", "phase amplitudes 1, 0.9 and 1.1 times the amplitude"},
     [](ThreePhaseSignalParameters& s, const SignalFrame&) {
         s.phaseGain[0] = 1.0;
         s.phaseGain[1] = 0.9;
         s.phaseGain[2] = 1.1;
     }},
    {{"noise", "white Gaussian noise of 1 % of the amplitude"},
     [](ThreePhaseSignalParameters& s, const SignalFrame&) { s.noiseStdDev = 0.01 * s.amplitude; }},
};

constexpr double kDegree = std::numbers::pi / 180.0;

}  // namespace

std::string builtInSignalTable() {
    std::string table;
    for (const BuiltInSignal& signal : kSignals) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-22s %s\n", signal.info.name, signal.info.description);
        table += line;
    }
    return table;
}

std::string builtInSignalNames() {
    std::string names;
    for (const BuiltInSignal& signal : kSignals) {
        if (!names.empty()) names += ", ";
        names += signal.info.name;
    }
    return names;
}

std::unique_ptr<SampleSource> makeSignalSource(const std::string& name, const SignalShape& shape,
                                               const ModelInputs& ports, double sampleRate, std::string& error) {
    const BuiltInSignal* signal = nullptr;
    for (const BuiltInSignal& candidate : kSignals) {
        if (name == candidate.info.name) signal = &candidate;
    }
    if (signal == nullptr) {
        error = "unknown signal '" + name + "' (expected one of: " + builtInSignalNames() + ")";
        return nullptr;
    }
    const double duration = shape.duration.value_or(1.0);
    if (!(duration >= 0.0 && duration <= kMaxSignalDuration)) {
        error = "option '--duration' must lie in 0..86400 s";
        return nullptr;
    }
    if (shape.noise && !(*shape.noise >= 0.0)) {
        error = "option '--noise' must be 0 or more";
        return nullptr;
    }
    const double startTime = shape.startTime.value_or(0.0);
    const double sampleCountReal = std::round(duration * sampleRate);
    const uint64_t sampleCount = static_cast<uint64_t>(sampleCountReal);
    const double lastTime = startTime + (sampleCountReal > 0.0 ? (sampleCountReal - 1.0) / sampleRate : 0.0);
    if (!withinBlockTimeRange(startTime, lastTime)) {
        error = "option '--start-time': " + blockTimeRangeError(startTime, lastTime);
        return nullptr;
    }
    const SignalFrame frame{ports.nominalFrequency, startTime + shape.eventTime.value_or(0.5),
                            startTime + sampleCountReal / sampleRate};

    ThreePhaseSignalParameters spec;
    spec.frequency = ports.nominalFrequency;
    spec.startTime = startTime;
    if (shape.amplitude) spec.amplitude = *shape.amplitude;
    signal->applyDefaults(spec, frame);

    if (shape.frequency) spec.frequency = *shape.frequency;
    if (shape.rampRate) spec.rampRate = *shape.rampRate;
    if (shape.magnitudeStep) spec.magnitudeStep = *shape.magnitudeStep;
    if (shape.amDepth) spec.amDepth = *shape.amDepth;
    if (shape.amFrequency) spec.amFrequency = *shape.amFrequency;
    if (shape.pmFrequency) spec.pmFrequency = *shape.pmFrequency;
    if (shape.phaseGains) {
        for (int i = 0; i < 3; ++i) spec.phaseGain[i] = (*shape.phaseGains)[i];
    }
    if (shape.noise) spec.noiseStdDev = *shape.noise;
    // Converted only when given, so that the defaults keep their exact bits.
    if (shape.phase) spec.phase = *shape.phase * kDegree;
    if (shape.phaseStep) spec.phaseStep = *shape.phaseStep * kDegree;
    if (shape.pmDepth) spec.pmDepth = *shape.pmDepth * kDegree;
    if (shape.seed) spec.noiseSeed = *shape.seed;
    // A step or ramp asked for by option alone starts at the event time.
    if (shape.magnitudeStep || shape.phaseStep || shape.eventTime) spec.stepTime = frame.eventTime;
    if (shape.rampRate || shape.rampDuration || shape.eventTime) {
        spec.rampStart = frame.eventTime;
        spec.rampEnd = shape.rampDuration ? frame.eventTime + *shape.rampDuration : frame.endTime;
    }
    const int64_t harmonicOrder =
        shape.harmonicOrder.value_or(spec.harmonics.empty() ? 3 : spec.harmonics[0].order);
    const double harmonicFraction =
        shape.harmonicFraction.value_or(spec.harmonics.empty() ? 0.0 : spec.harmonics[0].fraction);
    if (harmonicFraction != 0.0) {
        spec.harmonics = {Harmonic{static_cast<int>(harmonicOrder), harmonicFraction, 0.0}};
    } else {
        spec.harmonics.clear();
    }
    return std::make_unique<SignalSampleSource>("signal " + name, spec, sampleRate, startTime, sampleCount, ports);
}
