// Built-in signals through the model: a clean signal measures clean, with
// the conventions of docs/command-line.md (peak magnitude, angle against a
// nominal cosine that is zero at whole seconds).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "signals/three_phase_signal.h"
#include "tests/support/tool_process.h"

namespace {

struct Report {
    double timestamp, magnitude, angle, frequency, rocof;
};

std::vector<Report> parseReports(const std::string& csv) {
    std::vector<Report> reports;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        Report r{};
        char comma;
        std::istringstream in(line);
        in >> r.timestamp >> comma >> r.magnitude >> comma >> r.angle >> comma >> r.frequency >> comma >> r.rocof;
        reports.push_back(r);
    }
    return reports;
}

struct SignalCase {
    const char* arguments;
    ThreePhaseSignalParameters expected;  // the signal the arguments describe
    double nominal;
    double magnitudeTolerance;  // relative
    double angleTolerance;      // rad
    double frequencyTolerance;  // Hz
};

ThreePhaseSignalParameters spec(double amplitude, double frequency, double phaseDegrees) {
    ThreePhaseSignalParameters s;
    s.amplitude = amplitude;
    s.frequency = frequency;
    s.phase = phaseDegrees * std::numbers::pi / 180.0;
    return s;
}

TEST(RunSignals, CleanSignalsMeasureTheirPhasor) {
    const SignalCase cases[] = {
        {"--signal steady --amplitude 70 --phase 30", spec(70.0, 50.0, 30.0), 50.0, 1e-9, 1e-9, 1e-9},
        {"--signal steady --phase -120 --nominal-frequency 60", spec(100.0, 60.0, -120.0), 60.0, 1e-9, 1e-9, 1e-9},
        {"--signal off-nominal", spec(100.0, 51.5, 0.0), 50.0, 1e-6, 1e-6, 1e-6},
        {"--signal off-nominal --frequency 48.2 --phase 75", spec(100.0, 48.2, 75.0), 50.0, 1e-6, 1e-6, 1e-6},
        {"--signal harmonics --frequency 50.5", spec(100.0, 50.5, 0.0), 50.0, 1e-6, 1e-6, 1e-6},
    };
    ScratchDirectory scratch("signals");
    for (const SignalCase& c : cases) {
        for (const char* build : {"10k", "4k"}) {
            const std::string arguments = std::string("run --build ") + build + " " + c.arguments +
                                          " --duration 1 --report-rate 10 --reports-only --start-time 1000";
            const ToolResult result = runTool(arguments, scratch);
            ASSERT_EQ(result.status, 0) << arguments << ": " << result.err;
            const std::vector<Report> reports = parseReports(result.out);
            ASSERT_GT(reports.size(), 5u) << arguments;
            ThreePhaseSignal signal(c.expected);
            for (const Report& r : reports) {
                if (r.timestamp < 1000.3) continue;  // settling
                const ThreePhaseSignal::Reference ref = signal.reference(r.timestamp, c.nominal);
                EXPECT_NEAR(r.magnitude, ref.magnitude, c.magnitudeTolerance * ref.magnitude) << arguments;
                EXPECT_NEAR(std::remainder(r.angle - ref.angle, 2.0 * std::numbers::pi), 0.0, c.angleTolerance)
                    << arguments << " at " << r.timestamp;
                EXPECT_NEAR(r.frequency, ref.frequency, c.frequencyTolerance) << arguments;
                EXPECT_NEAR(r.rocof, 0.0, 1e-3) << arguments;
            }
        }
    }
}

TEST(RunSignals, RampIsTrackedAtItsRate) {
    ScratchDirectory scratch("ramp");
    const ToolResult result =
        runTool("run --signal ramp --ramp-rate 1 --event-time 0.2 --duration 1.5 --report-rate 10 --reports-only",
                scratch);
    ASSERT_EQ(result.status, 0) << result.err;
    ThreePhaseSignalParameters expected;
    expected.rampRate = 1.0;
    expected.rampStart = 0.2;
    expected.rampEnd = 1.5;
    ThreePhaseSignal signal(expected);
    size_t checked = 0;
    for (const Report& r : parseReports(result.out)) {
        if (r.timestamp < 0.6) continue;
        ++checked;
        EXPECT_NEAR(r.frequency, signal.reference(r.timestamp, 50.0).frequency, 1e-3) << r.timestamp;
        EXPECT_NEAR(r.rocof, 1.0, 0.05) << r.timestamp;
    }
    EXPECT_GT(checked, 5u);
}

}  // namespace
