// The P-class test plan: which signals the PMU meets, which of its reports
// count, and the accuracy limits they are held to. The plan is data; the
// runner and the evaluation read it and never decide limits themselves.
#ifndef ORVANE_COMPLIANCE_TEST_PLAN_H
#define ORVANE_COMPLIANCE_TEST_PLAN_H

#include <string>
#include <vector>

#include "signals/three_phase_signal.h"

enum class PlanTest {
    FrequencyRange,
    MagnitudeRange,
    Harmonics,
    AmplitudeModulation,
    PhaseModulation,
    FrequencyRamp,
    MagnitudeStep,
    PhaseStep,
};
inline constexpr int kPlanTestCount = 8;

const char* planTestName(PlanTest test);  // "Frequency range"
const char* planTestKey(PlanTest test);   // "frequency_range"
bool isStepTest(PlanTest test);

// Steady-state and dynamic limits. TVE as a fraction (0.01 is 1 %), FE in
// Hz, RFE in Hz/s; NaN where the test does not assess the quantity.
struct AccuracyLimits {
    double tve;
    double fe;
    double rfe;
};

// Step limits: response times in s (from the error leaving its threshold
// to it re-entering for good), delay time in s, overshoot as a fraction of
// the step size.
struct StepLimits {
    double tveThreshold;  // fraction
    double feThreshold;   // Hz
    double rfeThreshold;  // Hz/s
    double tveResponse;
    double feResponse;
    double rfeResponse;
    double delay;
    double overshoot;
};

struct PlanSettings {
    double sampleRate = 10000.0;    // Hz, of the build under test
    double samplePeriod = 0.0001;   // s, the build's own Ts (not 1/fs rounded anew)
    double nominalFrequency = 50.0;  // Hz, 50 or 60
    int reportRate = 50;            // reports per second
    double startTime = 1000.0;      // s, whole second of every case's first sample
    bool quick = false;             // the reduced plan
    int stepPositions = 20;         // equivalent-time positions per step (at most 10 when quick)
};

// One run of the model: a signal from startTime to runEnd, and the reports
// that count. Report m of a case sits at startTime + m / reportRate.
struct PlanCase {
    PlanTest test;
    std::string label;      // what distinguishes the case: "f = 48.25 Hz"
    double parameter;       // the swept value, in the label's unit
    ThreePhaseSignalParameters signal;
    int firstReport;        // index of the first counted report
    int reportCount;        // counted reports: firstReport .. firstReport + reportCount - 1
    double runEnd;          // s, absolute: samples are fed while time < runEnd
    // Step tests: the runs of one step (same label) differ only in where the
    // step falls within the report interval; stepPosition counts them.
    int stepPosition = -1;
};

struct TestPlan {
    PlanSettings settings;
    double modulationLimitFrequency;  // Fr = min(Fs/10, 2 Hz)
    double latencyLimit;              // s
    StepLimits stepLimits;
    std::vector<PlanCase> cases;

    AccuracyLimits limits(PlanTest test) const;
    double reportTime(const PlanCase& c, int m) const;
    // Samples fed in a case: time startTime + n * samplePeriod < runEnd.
    long long sampleCount(const PlanCase& c) const;
    long long totalSamples() const;
};

// The plan for one build, nominal frequency and report rate. Settings are
// assumed checked (see planSettingsError).
TestPlan makeTestPlan(const PlanSettings& settings);

// Empty when the settings make a valid plan; otherwise what is wrong.
std::string planSettingsError(const PlanSettings& settings);

#endif  // ORVANE_COMPLIANCE_TEST_PLAN_H
