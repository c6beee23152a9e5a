// A clean signal measures clean with both estimators, in the model's
// conventions: peak magnitude, angle against a cosine at nominal frequency
// whose phase is zero at every whole second, timestamps at report instants.
#include <cmath>
#include <numbers>
#include <ostream>

#include <gtest/gtest.h>

#include "compliance/plan_runner.h"
#include "tests/compliance/plan_fixtures.h"

namespace {

struct ConventionCase {
    const char* name;
    const ModelEntry* entry;
    double nominalFrequency;
    double phase;  // rad, of phase a
};

void PrintTo(const ConventionCase& c, std::ostream* os) { *os << c.name; }

class CleanSignalTest : public testing::TestWithParam<ConventionCase> {};

TEST_P(CleanSignalTest, BothEstimatorsMeasureTheIdealPhasor) {
    const ConventionCase& p = GetParam();
    PlanSettings settings = settingsFor(*p.entry, p.nominalFrequency);
    settings.quick = true;
    TestPlan plan = planWith(settings, [&](const PlanCase& c) {
        return c.test == PlanTest::FrequencyRange && c.parameter == p.nominalFrequency;
    });
    ASSERT_EQ(plan.cases.size(), 1u);
    plan.cases[0].signal.phase = p.phase;

    PlanResult result;
    std::string error;
    ASSERT_TRUE(runPlan(plan, inProcess(*p.entry), true, true, {}, result, error)) << error;
    // The model and the reference estimator (the road through the
    // instrument is not taken here).
    for (Estimator e : {Estimator::Model, Estimator::Reference}) {
        const EvaluatedEstimator& ev = result.cases[0].estimators[static_cast<int>(e)];
        SCOPED_TRACE(estimatorName(e));
        EXPECT_EQ(ev.missing, 0);
        EXPECT_EQ(ev.offGrid, 0);
        ASSERT_EQ(ev.reports.size(), static_cast<std::size_t>(plan.cases[0].reportCount));
        for (const EvaluatedReport& r : ev.reports) {
            // Far below the 1 % limit: a convention mistake (RMS for peak, a
            // shifted time origin, a period of timestamp skew) would show as
            // whole percent.
            ASSERT_LT(r.tve, 1e-6) << "at " << r.time;
            ASSERT_NEAR(r.measured.magnitude, 100.0, 1e-4) << "at " << r.time;
            ASSERT_NEAR(r.measured.angle, p.phase, 1e-6) << "at " << r.time;
            ASSERT_LT(r.fe, 1e-6) << "at " << r.time;
            ASSERT_LT(r.rfe, 1e-3) << "at " << r.time;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Builds, CleanSignalTest,
    testing::Values(ConventionCase{"at10kHz50Hz", &model_10k::kModelEntry, 50.0, 0.0},
                    ConventionCase{"at10kHz60Hz", &model_10k::kModelEntry, 60.0, 0.0},
                    ConventionCase{"at14p4kHz50Hz", &model_14p4k::kModelEntry, 50.0, 0.0},
                    ConventionCase{"at14p4kHz60Hz", &model_14p4k::kModelEntry, 60.0, 0.0},
                    ConventionCase{"at4kHz50Hz", &model_4k::kModelEntry, 50.0, 0.0},
                    ConventionCase{"at4kHz60Hz", &model_4k::kModelEntry, 60.0, 0.0},
                    ConventionCase{"phaseOffset", &model_10k::kModelEntry, 50.0, 0.7},
                    ConventionCase{"phaseNearPi", &model_4k::kModelEntry, 60.0, -3.0}),
    [](const testing::TestParamInfo<ConventionCase>& info) { return std::string(info.param.name); });

}  // namespace
