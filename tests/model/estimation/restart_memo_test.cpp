// Values that change only at a channel's restart are kept between samples
// with the argument they came from. An argument with other bits must give a
// fresh result, also when the host changes a work vector in mid-run.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/estimation/restart_memo.h"
#include "tests/support/model_harness.h"

namespace {

TEST(RestartMemoTest, KeepsOnlyForTheSameBits) {
    struct Case {
        double argument;
        bool recomputed;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.0, true},   // nothing kept yet, even for the all-zero argument
        {0.0, false},
        {-0.0, true},  // equal as numbers, other bits
        {-0.0, false},
        {50.0, true},
        {50.000000000000007, true},
        {nan, true},
        {nan, false},  // NaN fails ==, but has the same bits
        {50.0, true},
    };
    est::Memo<double, double> memo{};
    int computed = 0;
    for (const Case& c : cases) {
        const int before = computed;
        const double r = memo.get(c.argument, [&](double a) {
            ++computed;
            return a * 2.0;
        });
        EXPECT_EQ(computed != before, c.recomputed) << c.argument;
        EXPECT_EQ(std::isnan(r), std::isnan(c.argument));
        if (!std::isnan(r)) {
            EXPECT_EQ(r, c.argument * 2.0);
        }
    }
}

// The entries that follow from the tuning and the report rate, in a sample
// after the host changed both in mid-run, equal those of a block whose first
// sample ran with them.
TEST(RestartMemoTest, HostChangesInMidRunAreSeen) {
    ModelInputs in;
    in.time = 3.00017;

    ModelHarness changed(model_10k::kModelEntry);
    ASSERT_TRUE(changed.start());
    ModelInputs first = in;
    first.time = in.time - 0.0001;
    ASSERT_TRUE(changed.step(first));
    *changed.real(dw::kTuningFrequencyCh1) = 60.0;
    *changed.integer(dw::kReportRateCh1) = 10;
    ASSERT_TRUE(changed.step(in));

    ModelHarness fresh(model_10k::kModelEntry);
    ASSERT_TRUE(fresh.start());
    *fresh.real(dw::kTuningFrequencyCh1) = 60.0;
    *fresh.integer(dw::kReportRateCh1) = 10;
    ASSERT_TRUE(fresh.step(in));

    const BlockSignals& a = *changed.signals();
    const BlockSignals& b = *fresh.signals();
    for (int entry : {sig::kTimestamp, sig::kReportIndexFloorPrep, sig::kReportOffset, sig::kWindowSamplesCeilPrepCh1,
                      kSmootherCh1.windowCeilPrep}) EXPECT_EQ(a.B[entry], b.B[entry]) << "B[" << entry << "]";
    for (int entry : {sig::kReportIndex, sig::kWholeWindowCh1, sig::kCascadeDelayCh1, kSmootherCh1.wholeWindow,
                      kSmootherCh1.delay}) EXPECT_EQ(a.BI[entry], b.BI[entry]) << "BI[" << entry << "]";
    EXPECT_EQ(a.BI[sig::kCascadeDelayCh1], 167);
    EXPECT_EQ(a.BI[kSmootherCh1.delay], 167);
}

}  // namespace
