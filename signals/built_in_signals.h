// The built-in signals: named three-phase test signals whose name only sets
// the defaults of its own feature (a ramp's rate, a step's size). Every
// shaping value can be given with any signal and then overrides or adds
// that feature.
#ifndef ORVANE_SIGNALS_BUILT_IN_SIGNALS_H
#define ORVANE_SIGNALS_BUILT_IN_SIGNALS_H

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "io/sample_source.h"

struct BuiltInSignalInfo {
    const char* name;
    const char* description;
};

// One line per signal, its name and what it is, for help texts.
std::string builtInSignalTable();
// "steady, off-nominal, ...", for messages.
std::string builtInSignalNames();

// What the user set; an absent value keeps the signal's default. Angles in
// degrees, times in seconds (the event time counts from the first sample).
struct SignalShape {
    std::optional<double> frequency, amplitude, phase, duration, startTime, eventTime;
    std::optional<double> rampRate, rampDuration, magnitudeStep, phaseStep;
    std::optional<double> amDepth, amFrequency, pmDepth, pmFrequency;
    std::optional<int64_t> harmonicOrder;
    std::optional<double> harmonicFraction, noise;
    std::optional<uint64_t> seed;
    std::optional<std::array<double, 3>> phaseGains;
};

// A day of samples is far beyond any use and keeps counts and times exact.
inline constexpr double kMaxSignalDuration = 86400.0;

// The samples of built-in signal `name` at `sampleRate`, with the
// configuration ports of `ports` in every sample, or null with `error` set
// (unknown name, a duration outside 0..a day, negative noise).
std::unique_ptr<SampleSource> makeSignalSource(const std::string& name, const SignalShape& shape,
                                               const ModelInputs& ports, double sampleRate, std::string& error);

#endif  // ORVANE_SIGNALS_BUILT_IN_SIGNALS_H
