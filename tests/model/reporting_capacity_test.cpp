// Each build's reporting capacity, measured on the block itself: the report
// rates at which every report instant after start-up is produced. The
// block raises its strobe only while the timestamp advances by less than a
// quarter of the report interval per sample, so a slow build skips
// instants at high rates; this sweep finds where, and holds the published
// figure (io/reporting_capacity.h) to it.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "io/reporting_capacity.h"
#include "tests/support/model_harness.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Runs a steady 50 Hz set from `origin` at `rate` reports per second and
// says whether, once the block reports at that rate, every instant k/rate
// after each whole second up to the end was reported.
bool everyInstantReported(const ModelEntry& entry, double origin, int32_t rate) {
    ModelHarness model(entry);
    if (!model.start()) return false;
    const double fs = entry.build->fs;
    // Start-up: the block reports at 50/s until its first channel restart
    // latches the request (about 0.14 s); the hand-over report falls at the
    // next instant of the new rate, or off both grids. Then a window of at
    // least two more report intervals.
    const double window = std::max(0.1, 3.5 / rate);
    const int64_t samples = static_cast<int64_t>(std::ceil((0.2 + window) * fs));
    ModelInputs in;
    in.reportRate = rate;
    int64_t atRate = 0;  // reports at the asked rate, the hand-over's first
    double previous = 0.0;
    for (int64_t k = 0; k < samples; ++k) {
        const double elapsed = static_cast<double>(k) / fs;
        in.time = origin + elapsed;
        for (int p = 0; p < 3; ++p) in.phase[p] = 100.0 * std::cos(kTwoPi * 50.0 * elapsed - p * kTwoPi / 3.0);
        if (!model.step(in)) return false;
        const ModelOutputs& out = model.outputs();
        if (!out.reportStrobe) continue;
        if (out.activeReportRate != rate) {
            if (atRate > 0) return false;  // the rate fell back
            continue;
        }
        if (atRate == 0 && out.timestamp - origin > 0.2 + 1.0 / rate) return false;  // no hand-over
        if (atRate >= 2 && std::fabs(out.timestamp - previous - 1.0 / rate) > 1e-6) {
            return false;  // an instant skipped
        }
        previous = out.timestamp;
        ++atRate;
    }
    // The last report lies within one interval of the newest timestamp
    // (Time less one nominal period).
    const double newestTimestamp = origin + static_cast<double>(samples - 1) / fs - 0.02;
    return atRate >= 2 && newestTimestamp - previous < 1.0 / rate + 1e-6;
}

struct CapacityCase {
    const ModelEntry* entry;
    double origin;  // Time of the first sample, s
    int32_t firstRate = 1;  // the sweep's first rate
};

class ReportingCapacity : public testing::TestWithParam<CapacityCase> {};

// Every rate from 1 to 1200 reports per second: the capacity is the last
// rate of the unbroken run from 1, and no rate above it reports fully.
TEST_P(ReportingCapacity, SweepMatchesThePublishedFigure) {
    const CapacityCase& c = GetParam();
    const double fs = c.entry->build->fs;
    int32_t measured = c.firstRate - 1;
    for (int32_t rate = c.firstRate; rate <= 1200; ++rate) {
        const bool full = everyInstantReported(*c.entry, c.origin, rate);
        if (full && measured == rate - 1) measured = rate;
        EXPECT_EQ(full, rate <= measured) << "rate " << rate << " at " << fs << " Hz";
    }
    std::printf("%s: every report instant produced at %d..%d reports per second (Time from %.2f s)\n",
                c.entry->build->modelName, c.firstRate, measured, c.origin);
    EXPECT_EQ(measured, reportingCapacity(fs)) << fs << " Hz";
    EXPECT_TRUE(reportingCapacityProblem(fs, measured).empty());
    if (measured < 1200) {
        const std::string problem = reportingCapacityProblem(fs, measured + 1);
        EXPECT_NE(problem.find(std::to_string(measured)), std::string::npos) << problem;
    }
}

// Every build from Time 0; the 4k build, whose limit lies within the
// block's range, also at a time of day (recordings) and a Unix time
// (streams), where a double resolves 2.4e-7 s and the timestamp's step
// jitters by that: there the rates from 900 on, near the limit.
INSTANTIATE_TEST_SUITE_P(Builds, ReportingCapacity,
                         testing::Values(CapacityCase{&model_10k::kModelEntry, 0.0},
                                         CapacityCase{&model_14p4k::kModelEntry, 0.0},
                                         CapacityCase{&model_4k::kModelEntry, 0.0},
                                         CapacityCase{&model_4k::kModelEntry, 80000.37, 900},
                                         CapacityCase{&model_4k::kModelEntry, 1.7e9, 900}),
                         [](const testing::TestParamInfo<CapacityCase>& info) {
                             return std::string(info.param.entry->build->modelName) + "_from_" +
                                    std::to_string(static_cast<int64_t>(info.param.origin));
                         });

}  // namespace
