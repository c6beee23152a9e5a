// The plan's shape: which cases, which reports count, where steps fall and
// which limits apply.
#include <cmath>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "compliance/test_plan.h"

namespace {

PlanSettings settings10k(double f0 = 50.0, int rate = 50) {
    PlanSettings s;
    s.nominalFrequency = f0;
    s.reportRate = rate;
    return s;
}

std::map<PlanTest, int> casesPerTest(const TestPlan& plan) {
    std::map<PlanTest, int> counts;
    for (const PlanCase& c : plan.cases) ++counts[c.test];
    return counts;
}

TEST(TestPlan, FullPlanSweepsEveryTestAtItsSteps) {
    const TestPlan plan = makeTestPlan(settings10k());
    auto counts = casesPerTest(plan);
    EXPECT_EQ(counts[PlanTest::FrequencyRange], 17);  // 48 .. 52 Hz by 0.25
    EXPECT_EQ(counts[PlanTest::MagnitudeRange], 5);   // 80 .. 120 % by 10
    EXPECT_EQ(counts[PlanTest::Harmonics], 49);       // orders 2 .. 50
    EXPECT_EQ(counts[PlanTest::AmplitudeModulation], 20);  // 0.1 .. 2 Hz by 0.1
    EXPECT_EQ(counts[PlanTest::PhaseModulation], 20);
    EXPECT_EQ(counts[PlanTest::FrequencyRamp], 2);
    EXPECT_EQ(counts[PlanTest::MagnitudeStep], 2 * 20);  // +-10 %, 20 positions each
    EXPECT_EQ(counts[PlanTest::PhaseStep], 2 * 20);
}

TEST(TestPlan, ModulationLimitFrequencyFollowsTheReportRate) {
    const struct {
        int rate;
        double fr;
        int modulations;
    } cases[] = {{10, 1.0, 10}, {25, 2.0, 20}, {50, 2.0, 20}, {60, 2.0, 20}, {12, 1.2, 12}, {5, 0.5, 5}};
    for (const auto& c : cases) {
        const TestPlan plan = makeTestPlan(settings10k(c.rate % 12 == 0 || c.rate == 60 ? 60.0 : 50.0, c.rate));
        EXPECT_DOUBLE_EQ(plan.modulationLimitFrequency, c.fr) << c.rate;
        EXPECT_EQ(casesPerTest(plan)[PlanTest::AmplitudeModulation], c.modulations) << c.rate;
        const AccuracyLimits l = plan.limits(PlanTest::PhaseModulation);
        EXPECT_DOUBLE_EQ(l.fe, 0.03 * c.fr);
        EXPECT_DOUBLE_EQ(l.rfe, 0.18 * 3.141592653589793 * c.fr * c.fr);
    }
}

TEST(TestPlan, EveryCaseSettlesThenCountsAtLeastOneSecondOrModulationPeriod) {
    const TestPlan plan = makeTestPlan(settings10k());
    for (const PlanCase& c : plan.cases) {
        SCOPED_TRACE(c.label);
        const double first = plan.reportTime(c, c.firstReport);
        EXPECT_GE(first, plan.settings.startTime + 1.0 - 1e-9);
        // The run goes on past the last counted report by more than the
        // latency limit, so a late report is seen late, not missing.
        EXPECT_GT(c.runEnd, plan.reportTime(c, c.firstReport + c.reportCount - 1) + plan.latencyLimit);
        if (c.test == PlanTest::AmplitudeModulation || c.test == PlanTest::PhaseModulation) {
            const double fm = c.signal.amFrequency + c.signal.pmFrequency;
            EXPECT_GE(c.reportCount, std::ceil(std::max(1.0, 1.0 / fm) * 50 - 1e-9));
        } else if (c.test != PlanTest::FrequencyRamp && !isStepTest(c.test)) {
            EXPECT_EQ(c.reportCount, 50);
        }
    }
}

TEST(TestPlan, RampsCountTheirWholeRampLessTwoReportsAtEachEnd) {
    for (double f0 : {50.0, 60.0}) {
        const TestPlan plan = makeTestPlan(settings10k(f0, static_cast<int>(f0)));
        for (const PlanCase& c : plan.cases) {
            if (c.test != PlanTest::FrequencyRamp) continue;
            const double twoReports = 2.0 / plan.settings.reportRate;
            EXPECT_NEAR(plan.reportTime(c, c.firstReport), c.signal.rampStart + twoReports, 1e-9);
            EXPECT_NEAR(plan.reportTime(c, c.firstReport + c.reportCount - 1), c.signal.rampEnd - twoReports, 1e-9);
            // Across f0 +- 2 Hz at 1 Hz/s.
            const double endFrequency = c.signal.frequency + c.signal.rampRate * (c.signal.rampEnd - c.signal.rampStart);
            EXPECT_NEAR(std::min(c.signal.frequency, endFrequency), f0 - 2.0, 1e-12);
            EXPECT_NEAR(std::max(c.signal.frequency, endFrequency), f0 + 2.0, 1e-12);
            EXPECT_DOUBLE_EQ(std::fabs(c.signal.rampRate), 1.0);
        }
    }
}

TEST(TestPlan, StepsFallMidwayBetweenSamplesSpreadOverOneReportInterval) {
    struct Case {
        double fs;
        double ts;
        double f0;
    };
    for (const Case& b : {Case{10000.0, 0.0001, 50.0}, Case{14400.0, 6.944444444444444e-05, 60.0},
                          Case{4000.0, 0.00025, 50.0}}) {
        PlanSettings s = settings10k(b.f0, static_cast<int>(b.f0));
        s.sampleRate = b.fs;
        s.samplePeriod = b.ts;
        const TestPlan plan = makeTestPlan(s);
        std::map<std::string, std::set<double>> instants;
        for (const PlanCase& c : plan.cases) {
            if (!isStepTest(c.test)) continue;
            const double samples = (c.signal.stepTime - s.startTime) / s.samplePeriod;
            EXPECT_NEAR(samples - std::floor(samples), 0.5, 1e-6) << c.label;
            instants[c.label].insert(c.signal.stepTime);
        }
        ASSERT_EQ(instants.size(), 4u);
        for (const auto& [label, times] : instants) {
            EXPECT_EQ(times.size(), 20u) << label << ": positions must differ";
            // Together they sample one report interval.
            EXPECT_LT(*times.rbegin() - *times.begin(), 1.0 / s.reportRate) << label;
            EXPECT_GT(*times.rbegin() - *times.begin(), 0.9 / s.reportRate) << label;
        }
    }
}

TEST(TestPlan, StepsHaveReportsOnBothSidesAtEveryReportRate) {
    for (int rate : {1, 2, 3, 10, 50, 1200}) {
        for (bool quick : {false, true}) {
            PlanSettings s = settings10k(50.0, rate);
            s.quick = quick;
            const TestPlan plan = makeTestPlan(s);
            for (const PlanCase& c : plan.cases) {
                if (!isStepTest(c.test)) continue;
                int before = 0;
                int after = 0;
                for (int m = c.firstReport; m < c.firstReport + c.reportCount; ++m) {
                    (plan.reportTime(c, m) < c.signal.stepTime ? before : after) += 1;
                }
                EXPECT_GE(before, 2) << rate << " reports/s, " << c.label;
                EXPECT_GE(after, 2) << rate << " reports/s, " << c.label;
            }
        }
    }
}

TEST(TestPlan, QuickPlanKeepsEveryTestButFewerCases) {
    PlanSettings s = settings10k();
    s.quick = true;
    const TestPlan quick = makeTestPlan(s);
    const TestPlan full = makeTestPlan(settings10k());
    auto counts = casesPerTest(quick);
    EXPECT_EQ(counts.size(), static_cast<std::size_t>(kPlanTestCount));
    EXPECT_LT(quick.totalSamples() * 3, full.totalSamples());
}

TEST(TestPlan, SettingsOutsideThePlanAreRefused) {
    const struct {
        const char* what;
        void (*change)(PlanSettings&);
    } cases[] = {
        {"nominal 55 Hz", [](PlanSettings& s) { s.nominalFrequency = 55.0; }},
        {"report rate 0", [](PlanSettings& s) { s.reportRate = 0; }},
        {"report rate 1201", [](PlanSettings& s) { s.reportRate = 1201; }},
        {"9 step positions", [](PlanSettings& s) { s.stepPositions = 9; }},
        {"fractional start", [](PlanSettings& s) { s.startTime = 1000.5; }},
        {"NaN start", [](PlanSettings& s) { s.startTime = std::nan(""); }},
    };
    EXPECT_EQ(planSettingsError(settings10k()), "");
    for (const auto& c : cases) {
        PlanSettings s = settings10k();
        c.change(s);
        EXPECT_NE(planSettingsError(s), "") << c.what;
    }
}

}  // namespace
