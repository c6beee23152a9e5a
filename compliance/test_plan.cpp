#include "compliance/test_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "model/facts/model_facts.h"

namespace {

constexpr double kNotAssessed = std::numeric_limits<double>::quiet_NaN();
constexpr double kRatedAmplitude = 100.0;  // peak, every phase
constexpr double kSettleTime = 1.0;        // s with the signal applied before reports count
constexpr double kEvaluationTime = 1.0;    // s of counted reports, at least
constexpr double kQuickStepEvaluation = 0.5;
constexpr int kQuickStepPositions = 10;
constexpr double kFrequencySpan = 2.0;     // Hz either side of nominal
constexpr double kFrequencyStep = 0.25;
constexpr double kModulationStep = 0.1;    // Hz between modulation frequencies
constexpr double kAmDepth = 0.1;
constexpr double kPmDepth = 0.1;           // rad
constexpr double kHarmonicFraction = 0.01;
constexpr int kHighestHarmonic = 50;
constexpr double kRampRate = 1.0;          // Hz/s
constexpr double kMagnitudeStep = 0.1;
constexpr double kPhaseStep = 10.0 * std::numbers::pi / 180.0;

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

class PlanBuilder {
public:
    explicit PlanBuilder(TestPlan& plan) : plan_(plan), s_(plan.settings) {}

    ThreePhaseSignalParameters baseSignal(double frequency) const {
        ThreePhaseSignalParameters spec;
        spec.amplitude = kRatedAmplitude;
        spec.frequency = frequency;
        spec.phase = 0.0;
        spec.startTime = s_.startTime;
        return spec;
    }

    // A case whose reports count from the end of the settling time on, for
    // `evaluation` seconds (rounded up to whole reports).
    void addSettled(PlanTest test, std::string label, double parameter, const ThreePhaseSignalParameters& signal,
                    double evaluation) {
        const int first = static_cast<int>(std::lround(kSettleTime * s_.reportRate));
        const int count = std::max(1, static_cast<int>(std::ceil(evaluation * s_.reportRate - 1e-9)));
        add(test, std::move(label), parameter, signal, first, count, -1);
    }

    void add(PlanTest test, std::string label, double parameter, const ThreePhaseSignalParameters& signal, int first,
             int count, int stepPosition) {
        PlanCase c{test, std::move(label), parameter, signal, first, std::max(0, count), 0.0, stepPosition};
        // Run on past the last counted report so that a late report is still
        // seen (and found late rather than missing) and the reference
        // estimator's window, centred on the report, is filled.
        const double margin = std::max(3.0 / s_.reportRate, 2.0 / s_.nominalFrequency);
        c.runEnd = plan_.reportTime(c, first + std::max(0, count) - 1) + margin;
        plan_.cases.push_back(std::move(c));
    }

    // The absolute instant of a step meant for `nominal`: midway between the
    // sample at or just before it and the next, so that no sample is taken
    // at the step itself.
    double stepInstant(double nominal) const {
        const double n = std::floor((nominal - s_.startTime) / s_.samplePeriod + 1e-9);
        return s_.startTime + (n + 0.5) * s_.samplePeriod;
    }

private:
    TestPlan& plan_;
    const PlanSettings& s_;
};

std::vector<double> sweep(double from, double to, double step) {
    std::vector<double> values;
    const int count = static_cast<int>(std::lround((to - from) / step));
    for (int i = 0; i <= count; ++i) values.push_back(from + i * step);
    return values;
}

}  // namespace

const char* planTestName(PlanTest test) {
    switch (test) {
        case PlanTest::FrequencyRange: return "Frequency range";
        case PlanTest::MagnitudeRange: return "Magnitude range";
        case PlanTest::Harmonics: return "Harmonics";
        case PlanTest::AmplitudeModulation: return "Amplitude modulation";
        case PlanTest::PhaseModulation: return "Phase modulation";
        case PlanTest::FrequencyRamp: return "Frequency ramp";
        case PlanTest::MagnitudeStep: return "Magnitude step";
        case PlanTest::PhaseStep: return "Phase step";
    }
    return "?";
}

const char* planTestKey(PlanTest test) {
    switch (test) {
        case PlanTest::FrequencyRange: return "frequency_range";
        case PlanTest::MagnitudeRange: return "magnitude_range";
        case PlanTest::Harmonics: return "harmonics";
        case PlanTest::AmplitudeModulation: return "amplitude_modulation";
        case PlanTest::PhaseModulation: return "phase_modulation";
        case PlanTest::FrequencyRamp: return "frequency_ramp";
        case PlanTest::MagnitudeStep: return "magnitude_step";
        case PlanTest::PhaseStep: return "phase_step";
    }
    return "?";
}

bool isStepTest(PlanTest test) { return test == PlanTest::MagnitudeStep || test == PlanTest::PhaseStep; }

AccuracyLimits TestPlan::limits(PlanTest test) const {
    const double fr = modulationLimitFrequency;
    switch (test) {
        case PlanTest::FrequencyRange:
        case PlanTest::Harmonics: return {0.01, 0.005, 0.4};
        case PlanTest::MagnitudeRange: return {0.01, kNotAssessed, kNotAssessed};
        case PlanTest::AmplitudeModulation:
        case PlanTest::PhaseModulation: return {0.03, 0.03 * fr, 0.18 * std::numbers::pi * fr * fr};
        case PlanTest::FrequencyRamp: return {0.01, 0.01, 0.4};
        case PlanTest::MagnitudeStep:
        case PlanTest::PhaseStep: break;
    }
    return {kNotAssessed, kNotAssessed, kNotAssessed};
}

double TestPlan::reportTime(const PlanCase& c, int m) const {
    (void)c;
    // Whole seconds first, then the fraction: the instants the model itself
    // aligns its reports to.
    const int rate = settings.reportRate;
    const int whole = m / rate;
    return settings.startTime + whole + static_cast<double>(m - whole * rate) / rate;
}

long long TestPlan::sampleCount(const PlanCase& c) const {
    return static_cast<long long>(std::ceil((c.runEnd - settings.startTime) / settings.samplePeriod - 1e-9));
}

long long TestPlan::totalSamples() const {
    long long total = 0;
    for (const PlanCase& c : cases) total += sampleCount(c);
    return total;
}

std::string planSettingsError(const PlanSettings& s) {
    if (s.nominalFrequency != 50.0 && s.nominalFrequency != 60.0) return "the nominal frequency must be 50 or 60 Hz";
    if (s.reportRate < facts::kLowestReportRate || s.reportRate > facts::kHighestReportRate) return "the report rate must be 1 to 1200 reports per second";
    if (!(s.sampleRate > 0.0) || !(s.samplePeriod > 0.0)) return "the sample rate must be positive";
    if (s.stepPositions < 10 || s.stepPositions > 1000) return "the step positions must be 10 to 1000";
    if (!(s.startTime >= 0.0) || s.startTime != std::floor(s.startTime) || s.startTime > 1e6) {
        return "the start time must be a whole second from 0 to 1000000";
    }
    return {};
}

TestPlan makeTestPlan(const PlanSettings& settings) {
    TestPlan plan;
    plan.settings = settings;
    const double f0 = settings.nominalFrequency;
    const double fs = settings.reportRate;
    const double t0 = settings.startTime;
    const bool quick = settings.quick;
    plan.modulationLimitFrequency = std::min(fs / 10.0, 2.0);
    plan.latencyLimit = 2.0 / fs;
    plan.stepLimits = {0.01, 0.005, 0.4, 2.0 / f0, 4.5 / f0, 6.0 / f0, 1.0 / (4.0 * fs), 0.05};
    PlanBuilder b(plan);

    const std::vector<double> frequencies =
        quick ? std::vector<double>{f0 - kFrequencySpan, f0, f0 + kFrequencySpan}
              : sweep(f0 - kFrequencySpan, f0 + kFrequencySpan, kFrequencyStep);
    for (double f : frequencies) {
        b.addSettled(PlanTest::FrequencyRange, format("f = %.2f Hz", f), f, b.baseSignal(f), kEvaluationTime);
    }

    const std::vector<double> percents = quick ? std::vector<double>{80.0, 120.0} : sweep(80.0, 120.0, 10.0);
    for (double percent : percents) {
        ThreePhaseSignalParameters spec = b.baseSignal(f0);
        spec.amplitude = kRatedAmplitude * percent / 100.0;
        b.addSettled(PlanTest::MagnitudeRange, format("%.0f %% of rated", percent), percent, spec, kEvaluationTime);
    }

    std::vector<int> orders;
    if (quick) {
        orders = {2, 3, 5, kHighestHarmonic};
    } else {
        for (int h = 2; h <= kHighestHarmonic; ++h) orders.push_back(h);
    }
    for (int h : orders) {
        ThreePhaseSignalParameters spec = b.baseSignal(f0);
        spec.harmonics.push_back(Harmonic{h, kHarmonicFraction, 0.0});
        b.addSettled(PlanTest::Harmonics, format("h = %.0f", h), h, spec, kEvaluationTime);
    }

    // Modulation frequencies in 0.1 Hz steps up to Fr; a case counts at
    // least one whole modulation period.
    const double fr = plan.modulationLimitFrequency;
    const int steps = std::max(1, static_cast<int>(std::floor(fr / kModulationStep + 1e-9)));
    std::vector<double> modulations;
    if (quick) {
        const int half = std::max(1, steps / 2);
        modulations.push_back(half * kModulationStep);
        if (steps != half) modulations.push_back(steps * kModulationStep);
    } else {
        for (int k = 1; k <= steps; ++k) modulations.push_back(k * kModulationStep);
    }
    for (double fm : modulations) {
        ThreePhaseSignalParameters spec = b.baseSignal(f0);
        spec.amDepth = kAmDepth;
        spec.amFrequency = fm;
        b.addSettled(PlanTest::AmplitudeModulation, format("fm = %.1f Hz", fm), fm, spec,
                     std::max(kEvaluationTime, 1.0 / fm));
    }
    for (double fm : modulations) {
        ThreePhaseSignalParameters spec = b.baseSignal(f0);
        spec.pmDepth = kPmDepth;
        spec.pmFrequency = fm;
        b.addSettled(PlanTest::PhaseModulation, format("fm = %.1f Hz", fm), fm, spec,
                     std::max(kEvaluationTime, 1.0 / fm));
    }

    // Ramps across f0 +- 2 Hz, starting after the settling time; the reports
    // less than 2/Fs from either end of the ramp do not count (a report
    // exactly 2/Fs away does).
    for (double rate : {kRampRate, -kRampRate}) {
        ThreePhaseSignalParameters spec = b.baseSignal(rate > 0.0 ? f0 - kFrequencySpan : f0 + kFrequencySpan);
        const double duration = 2.0 * kFrequencySpan / kRampRate;
        spec.rampRate = rate;
        spec.rampStart = t0 + kSettleTime;
        spec.rampEnd = spec.rampStart + duration;
        const int exclusion = 2;  // reports
        const int first = static_cast<int>(std::lround(kSettleTime * fs)) + exclusion;
        const int last = static_cast<int>(std::lround((kSettleTime + duration) * fs)) - exclusion;
        b.add(PlanTest::FrequencyRamp, format("%+.0f Hz/s", rate), rate, spec, first, last - first + 1, -1);
    }

    // Steps in the middle of the counted second, each repeated with the step
    // moved by a fraction of the report interval: interleaved, the runs give
    // an equivalent-time grid finer than the report interval.
    // At low report rates the span grows so that at least two reports
    // fall on either side of the step.
    const double evaluation = std::max(quick ? kQuickStepEvaluation : kEvaluationTime, 6.0 / fs);
    const int first = static_cast<int>(std::lround(kSettleTime * fs));
    const int count = static_cast<int>(std::ceil(evaluation * fs - 1e-9));
    const double stepBase = t0 + kSettleTime + evaluation / 2.0;
    struct StepKind {
        PlanTest test;
        double magnitudeStep;
        double phaseStep;
        const char* label;
        double parameter;
    };
    const StepKind kinds[] = {
        {PlanTest::MagnitudeStep, kMagnitudeStep, 0.0, "+10 %", 10.0},
        {PlanTest::MagnitudeStep, -kMagnitudeStep, 0.0, "-10 %", -10.0},
        {PlanTest::PhaseStep, 0.0, kPhaseStep, "+10 deg", 10.0},
        {PlanTest::PhaseStep, 0.0, -kPhaseStep, "-10 deg", -10.0},
    };
    // The quick plan takes the fewest positions that still resolve a tenth
    // of the report interval.
    const int positions = quick ? std::min(settings.stepPositions, kQuickStepPositions) : settings.stepPositions;
    // The settings say what ran.
    plan.settings.stepPositions = positions;
    for (const StepKind& kind : kinds) {
        for (int p = 0; p < positions; ++p) {
            ThreePhaseSignalParameters spec = b.baseSignal(f0);
            spec.stepTime = b.stepInstant(stepBase + p / (positions * fs));
            spec.magnitudeStep = kind.magnitudeStep;
            spec.phaseStep = kind.phaseStep;
            b.add(kind.test, kind.label, kind.parameter, spec, first, count, p);
        }
    }
    return plan;
}
