#include "cli/built_in_signals.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "cli/signal_sample_source.h"
#include "signals/three_phase_signal.h"

namespace {

// What a signal's defaults may depend on.
struct SignalFrame {
    double nominalFrequency;
    double eventTime;  // absolute time of a step or a ramp's start
    double endTime;    // absolute time just after the last sample
};

struct BuiltInSignal {
    const char* name;
    const char* description;
    void (*applyDefaults)(ThreePhaseSignalSpec& spec, const SignalFrame& frame);
};

const BuiltInSignal kSignals[] = {
    {"steady", "balanced set at the nominal frequency", [](ThreePhaseSignalSpec&, const SignalFrame&) {}},
    {"off-nominal", "balanced set 1.5 Hz above nominal",
     [](ThreePhaseSignalSpec& s, const SignalFrame& f) { s.frequency = f.nominalFrequency + 1.5; }},
    {"ramp", "frequency ramp of 1 Hz/s from the event time to the end",
     [](ThreePhaseSignalSpec& s, const SignalFrame& f) {
         s.rampRate = 1.0;
         s.rampStart = f.eventTime;
         s.rampEnd = f.endTime;
     }},
    {"magnitude-step", "magnitude step of +10 % at the event time",
     [](ThreePhaseSignalSpec& s, const SignalFrame& f) {
         s.stepTime = f.eventTime;
         s.magnitudeStep = 0.1;
     }},
    {"phase-step", "phase step of +10 degrees at the event time",
     [](ThreePhaseSignalSpec& s, const SignalFrame& f) {
         s.stepTime = f.eventTime;
         s.phaseStep = std::numbers::pi / 18.0;
     }},
    {"amplitude-modulation", "amplitude modulated 10 % at 2 Hz",
     [](ThreePhaseSignalSpec& s, const SignalFrame&) {
         s.amDepth = 0.1;
         s.amFrequency = 2.0;
     }},
    {"phase-modulation", "phase modulated 5 degrees at 2 Hz",
     [](ThreePhaseSignalSpec& s, const SignalFrame&) {
         s.pmDepth = 5.0 * std::numbers::pi / 180.0;
         s.pmFrequency = 2.0;
     }},
    {"harmonics", "10 % third harmonic",
     [](ThreePhaseSignalSpec& s, const SignalFrame&) { s.harmonics = {Harmonic{3, 0.1, 0.0}}; }},
    {"unbalance", "phase amplitudes 1, 0.9 and 1.1 times the amplitude",
     [](ThreePhaseSignalSpec& s, const SignalFrame&) {
         s.phaseGain[0] = 1.0;
         s.phaseGain[1] = 0.9;
         s.phaseGain[2] = 1.1;
     }},
    {"noise", "white Gaussian noise of 1 % of the amplitude",
     [](ThreePhaseSignalSpec& s, const SignalFrame&) { s.noiseStdDev = 0.01 * s.amplitude; }},
};

const BuiltInSignal* findSignal(const std::string& name) {
    for (const BuiltInSignal& signal : kSignals) {
        if (name == signal.name) return &signal;
    }
    return nullptr;
}

std::string signalNames() {
    std::string names;
    for (const BuiltInSignal& signal : kSignals) {
        if (!names.empty()) names += ", ";
        names += signal.name;
    }
    return names;
}

constexpr double kDegree = std::numbers::pi / 180.0;
// A day of samples is far beyond any use and keeps counts and times exact.
constexpr double kMaxDuration = 86400.0;

bool checkRange(const char* option, double value, double low, double high, std::string& error) {
    if (value >= low && value <= high) return true;
    error = std::string("option '--") + option + "' must lie in " + std::to_string(low) + ".." + std::to_string(high);
    return false;
}

}  // namespace

std::vector<OptionSpec> signalOptionSpecs() {
    return {
        {"frequency", true},      {"amplitude", true},       {"phase", true},         {"duration", true},
        {"start-time", true},     {"nominal-frequency", true}, {"report-rate", true},  {"report-mode", true},
        {"magnitude-coeffs", true}, {"phase-coeffs", true},  {"event-time", true},    {"ramp-rate", true},
        {"ramp-duration", true},  {"magnitude-step", true},  {"phase-step", true},    {"am-depth", true},
        {"am-frequency", true},   {"pm-depth", true},        {"pm-frequency", true},  {"harmonic-order", true},
        {"harmonic-fraction", true}, {"phase-gains", true},  {"noise", true},         {"seed", true},
    };
}

std::string signalHelp() {
    std::string help = "signals:\n";
    for (const BuiltInSignal& signal : kSignals) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-22s %s\n", signal.name, signal.description);
        help += line;
    }
    help +=
        "\nsignal options (any signal takes any of them; angles in degrees):\n"
        "  --frequency HZ          fundamental frequency at the start (default: per signal)\n"
        "  --amplitude PEAK        peak amplitude per phase (default 100)\n"
        "  --phase DEG             phase of va at time 0 (default 0)\n"
        "  --duration S            length of the run (default 1)\n"
        "  --start-time S          absolute time of the first sample (default 0)\n"
        "  --nominal-frequency HZ  NominalFrequency port (default 50)\n"
        "  --report-rate N         ReportRate port, any int32 (default 50)\n"
        "  --report-mode 0|1       ReportMode port (default 1)\n"
        "  --magnitude-coeffs C2,C1,C0   MagnitudeCoeffs port (default 0,0,1)\n"
        "  --phase-coeffs P2,P1,P0       PhaseCoeffs port, rad (default 0,0,0)\n"
        "  --event-time S          steps and the ramp's start, after the first sample (default 0.5)\n"
        "  --ramp-rate HZ/S        frequency ramp rate (ramp: 1)\n"
        "  --ramp-duration S       ramp length (default: to the end)\n"
        "  --magnitude-step FRACTION   magnitude step (magnitude-step: 0.1)\n"
        "  --phase-step DEG        phase step (phase-step: 10)\n"
        "  --am-depth FRACTION     amplitude modulation depth (amplitude-modulation: 0.1)\n"
        "  --am-frequency HZ       amplitude modulation frequency (amplitude-modulation: 2)\n"
        "  --pm-depth DEG          phase modulation depth (phase-modulation: 5)\n"
        "  --pm-frequency HZ       phase modulation frequency (phase-modulation: 2)\n"
        "  --harmonic-order N      order of one added harmonic (harmonics: 3)\n"
        "  --harmonic-fraction F   its amplitude relative to the fundamental (harmonics: 0.1)\n"
        "  --phase-gains GA,GB,GC  per-phase amplitude factors (unbalance: 1,0.9,1.1)\n"
        "  --noise STDDEV          white Gaussian noise, in the amplitude's unit (noise: 1 % of it)\n"
        "  --seed N                noise seed (default 1)\n";
    return help;
}

std::unique_ptr<SampleSource> makeSignalSource(const std::string& name, const CommandOptions& options,
                                               double sampleRate, std::string& error) {
    const BuiltInSignal* signal = findSignal(name);
    if (signal == nullptr) {
        error = "unknown signal '" + name + "' (expected one of: " + signalNames() + ")";
        return nullptr;
    }

    ModelInputs ports;
    double duration = 1.0;
    double startTime = 0.0;
    double eventDelay = 0.5;
    int64_t reportRate = ports.reportRate;
    int64_t reportMode = 1;
    if (!options.number("duration", duration, error) || !options.number("start-time", startTime, error) ||
        !options.number("event-time", eventDelay, error) ||
        !options.number("nominal-frequency", ports.nominalFrequency, error) ||
        !options.integer("report-rate", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                         reportRate, error) ||
        !options.integer("report-mode", 0, 1, reportMode, error) ||
        !options.numbers("magnitude-coeffs", 3, ports.magnitudeCoeffs, error) ||
        !options.numbers("phase-coeffs", 3, ports.phaseCoeffs, error)) {
        return nullptr;
    }
    if (!checkRange("duration", duration, 0.0, kMaxDuration, error)) return nullptr;
    ports.reportRate = static_cast<int32_t>(reportRate);
    ports.reportMode = reportMode == 1;

    const double sampleCountReal = std::round(duration * sampleRate);
    const uint64_t sampleCount = static_cast<uint64_t>(sampleCountReal);
    const SignalFrame frame{ports.nominalFrequency, startTime + eventDelay,
                            startTime + sampleCountReal / sampleRate};

    ThreePhaseSignalSpec spec;
    spec.frequency = ports.nominalFrequency;
    spec.startTime = startTime;
    if (!options.number("amplitude", spec.amplitude, error)) return nullptr;
    signal->applyDefaults(spec, frame);

    double phaseDegrees = spec.phase / kDegree;
    double phaseStepDegrees = spec.phaseStep / kDegree;
    double pmDepthDegrees = spec.pmDepth / kDegree;
    double rampDuration = spec.rampEnd - spec.rampStart;
    int64_t harmonicOrder = spec.harmonics.empty() ? 3 : spec.harmonics[0].order;
    double harmonicFraction = spec.harmonics.empty() ? 0.0 : spec.harmonics[0].fraction;
    int64_t seed = static_cast<int64_t>(spec.noiseSeed);
    if (!options.number("frequency", spec.frequency, error) || !options.number("phase", phaseDegrees, error) ||
        !options.number("ramp-rate", spec.rampRate, error) || !options.number("ramp-duration", rampDuration, error) ||
        !options.number("magnitude-step", spec.magnitudeStep, error) ||
        !options.number("phase-step", phaseStepDegrees, error) || !options.number("am-depth", spec.amDepth, error) ||
        !options.number("am-frequency", spec.amFrequency, error) || !options.number("pm-depth", pmDepthDegrees, error) ||
        !options.number("pm-frequency", spec.pmFrequency, error) ||
        !options.integer("harmonic-order", 1, 1000, harmonicOrder, error) ||
        !options.number("harmonic-fraction", harmonicFraction, error) ||
        !options.numbers("phase-gains", 3, spec.phaseGain, error) || !options.number("noise", spec.noiseStdDev, error) ||
        !options.integer("seed", 0, std::numeric_limits<int64_t>::max(), seed, error)) {
        return nullptr;
    }
    if (!checkRange("noise", spec.noiseStdDev, 0.0, std::numeric_limits<double>::max(), error)) return nullptr;
    // Converted only when given, so that the defaults keep their exact bits.
    if (options.has("phase")) spec.phase = phaseDegrees * kDegree;
    if (options.has("phase-step")) spec.phaseStep = phaseStepDegrees * kDegree;
    if (options.has("pm-depth")) spec.pmDepth = pmDepthDegrees * kDegree;
    spec.noiseSeed = static_cast<uint64_t>(seed);
    // A step or ramp asked for by option alone starts at the event time.
    if (options.has("magnitude-step") || options.has("phase-step") || options.has("event-time")) {
        spec.stepTime = frame.eventTime;
    }
    if (options.has("ramp-rate") || options.has("ramp-duration") || options.has("event-time")) {
        spec.rampStart = frame.eventTime;
        spec.rampEnd = options.has("ramp-duration") ? frame.eventTime + rampDuration : frame.endTime;
    }
    if (harmonicFraction != 0.0) {
        spec.harmonics = {Harmonic{static_cast<int>(harmonicOrder), harmonicFraction, 0.0}};
    } else {
        spec.harmonics.clear();
    }

    return std::make_unique<SignalSampleSource>("signal " + name, spec, sampleRate, startTime, sampleCount, ports);
}
