// Where a sample lies on the grid of report instants, and each channel's
// window, from the first sample after initialisation (channel 1 active).
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "host/measurement_ports.h"
#include "tests/support/model_harness.h"

namespace {


struct GridCase {
    double time;
    double tuning;  // channel 1, Hz
    int rate;
    double timestamp;
    int wholeSecond;
    int reportIndex;
    double offset;
};

TEST(FrameTimingTest, ReportGridOfTheFirstSample) {
    const GridCase cases[] = {
        {12.3456, 50.0, 50, 12.3256, 12, 16, 0.0056},
        {0.01, 50.0, 50, -0.01, -1, 50, -0.01},         // the instant at the next whole second
        {5.0, 25.0, 1, 4.96, 4, 1, -0.04},              // rate 1, longest period
        {-0.98, 50.0, 50, -1.0, -1, 0, 0.0},            // exactly on a negative whole second
    };
    for (const GridCase& c : cases) {
        ModelHarness h(model_10k::kModelEntry);
        ASSERT_TRUE(h.start());
        *h.real(dw::kTuningFrequencyCh1) = c.tuning;
        *h.integer(dw::kReportRateCh1) = c.rate;
        ModelInputs in;
        in.time = c.time;
        ASSERT_TRUE(h.step(in));
        const BlockSignals& s = *h.signals();
        EXPECT_NEAR(s.B[sig::kTimestamp], c.timestamp, 1e-12) << "Time " << c.time;
        EXPECT_EQ(s.BI[sig::kTimestampWholeSecond], c.wholeSecond) << "Time " << c.time;
        EXPECT_EQ(s.BI[sig::kReportIndex], c.reportIndex) << "Time " << c.time;
        EXPECT_NEAR(s.B[sig::kReportOffset], c.offset, 1e-9) << "Time " << c.time;
    }
}

TEST(FrameTimingTest, NonFiniteTimeConvertsToDefinedWholeSeconds) {
    const double times[] = {NAN, INFINITY, -INFINITY};
    const int expectedWhole[] = {INT32_MIN, 2000000000, -2000000000};
    for (int i = 0; i < 3; ++i) {
        ModelHarness h(model_10k::kModelEntry);
        ASSERT_TRUE(h.start());
        ModelInputs in;
        in.time = times[i];
        ASSERT_TRUE(h.step(in));
        EXPECT_EQ(h.signals()->BI[sig::kTimeWholeSecond], expectedWhole[i]) << "Time " << times[i];
        EXPECT_FALSE(h.outputs().reportStrobe);
    }
}

TEST(FrameTimingTest, ReferencePhaseTurnsAroundTheWholeSecond) {
    const std::pair<double, int> cases[] = {{7.0, -1}, {7.005, -1}, {7.01, 0}};
    for (const auto& [time, turns] : cases) {
        ModelHarness h(model_10k::kModelEntry);
        ASSERT_TRUE(h.start());
        ModelInputs in;
        in.time = time;
        ASSERT_TRUE(h.step(in));
        EXPECT_EQ(h.signals()->BI[sig::kAlignmentTurnsCh1], turns) << "Time " << time;
    }
}

struct WindowCase {
    const ModelEntry* entry;
    double tuning;
    int delay;
};

TEST(FrameTimingTest, CascadeDelayFollowsTheTuningPeriod) {
    const WindowCase cases[] = {
        {&model_10k::kModelEntry, 50.0, 200},   {&model_10k::kModelEntry, 60.0, 167},
        {&model_10k::kModelEntry, 49.5, 203},   {&model_10k::kModelEntry, 20.0, 400},
        {&model_10k::kModelEntry, 1e10, 2},     {&model_10k::kModelEntry, NAN, 2},
        {&model_14p4k::kModelEntry, 50.0, 288}, {&model_14p4k::kModelEntry, 60.0, 240},
        {&model_14p4k::kModelEntry, 25.0, 576}, {&model_4k::kModelEntry, 50.0, 80},
        {&model_4k::kModelEntry, 25.0, 160},    {&model_4k::kModelEntry, 10.0, 160},
    };
    for (const WindowCase& c : cases) {
        ModelHarness h(*c.entry);
        ASSERT_TRUE(h.start());
        *h.real(dw::kTuningFrequencyCh1) = c.tuning;
        ModelInputs in;
        in.time = 1000.0;
        ASSERT_TRUE(h.step(in));
        EXPECT_EQ(h.signals()->BI[sig::kCascadeDelayCh1], c.delay) << h.build().sfunctionName << " at " << c.tuning << " Hz";
    }
}

TEST(FrameTimingTest, ThePassThroughWindowCopiesTheProduct) {
    ModelHarness h(model_10k::kModelEntry);
    ASSERT_TRUE(h.start());
    *h.real(dw::kTuningFrequencyCh1) = 1e10;  // period below 1e-9 s
    ModelInputs in;
    in.time = 1000.0;
    in.phase[0] = 3.0;
    ASSERT_TRUE(h.step(in));
    const double* B = h.signals()->B;
    EXPECT_EQ(B[20], B[13]);  // first-stage output equals the product
}

TEST(ReportModeTest, StrobeAndRateDoNotDependOnTheModeAndReportsHold) {
    ModelHarness perSample(model_10k::kModelEntry);
    ModelHarness reports(model_10k::kModelEntry);
    ASSERT_TRUE(perSample.start());
    ASSERT_TRUE(reports.start());
    ModelOutputs held;
    int strobes = 0;
    for (int i = 0; i < 3000; ++i) {
        ModelInputs in;
        in.time = 1000.0 + i * 1e-4;
        const double angle = 2.0 * M_PI * 50.0 * in.time;
        in.phase[0] = 100.0 * std::cos(angle);
        in.phase[1] = 100.0 * std::cos(angle - 2.0 * M_PI / 3.0);
        in.phase[2] = 100.0 * std::cos(angle + 2.0 * M_PI / 3.0);
        in.reportMode = false;
        ASSERT_TRUE(perSample.step(in));
        in.reportMode = true;
        ASSERT_TRUE(reports.step(in));
        const ModelOutputs& a = perSample.outputs();
        const ModelOutputs& b = reports.outputs();
        ASSERT_EQ(a.reportStrobe, b.reportStrobe) << "sample " << i;
        ASSERT_EQ(a.activeReportRate, b.activeReportRate) << "sample " << i;
        if (b.reportStrobe) {
            ++strobes;
            held = b;
        } else {
            ASSERT_EQ(b.timestamp, held.timestamp) << "sample " << i;
            ASSERT_EQ(b.magnitude, held.magnitude) << "sample " << i;
            ASSERT_EQ(b.angle, held.angle) << "sample " << i;
        }
    }
    // 0.3 s of timestamps at 50 reports per second.
    EXPECT_GE(strobes, 14);
    EXPECT_LE(strobes, 15);
    EXPECT_NEAR(held.magnitude, 100.0, 1e-6);
    EXPECT_NEAR(held.frequency, 50.0, 1e-6);
}

}  // namespace

namespace {

// A host may hand the boolean ReportMode port any nonzero byte for true; the
// model must read it as true without relying on the byte being exactly 1.
TEST(ReportModeTest, AnyNonzeroByteSelectsTheReportValues) {
    ModelHarness byteOne(model_10k::kModelEntry);
    ModelHarness byteTwo(model_10k::kModelEntry);
    ASSERT_TRUE(byteOne.start());
    ASSERT_TRUE(byteTwo.start());
    for (int i = 0; i < 500; ++i) {
        ModelInputs in;
        in.time = 1000.0 + i * 1e-4;
        in.phase[0] = 100.0 * std::cos(2.0 * M_PI * 50.0 * in.time);
        in.reportMode = true;
        ASSERT_TRUE(byteOne.step(in));
        ASSERT_TRUE(byteTwo.step(in));
    }
    // One more sample with the mode byte set to 2 behind the host's back.
    ModelInputs in;
    in.time = 1000.05;
    in.reportMode = true;
    ASSERT_TRUE(byteOne.step(in));
    SimStruct* S = byteTwo.S();
    writeInputs(byteTwo.driver().record(), in);
    *static_cast<unsigned char*>(byteTwo.driver().record().inputBuffer(6)) = 2;
    S->methods.mdlOutputs(S, 0);
    ModelOutputs out;
    readOutputs(byteTwo.driver().record(), out);
    EXPECT_EQ(out.timestamp, byteOne.outputs().timestamp);
    EXPECT_EQ(out.angle, byteOne.outputs().angle);
}

}  // namespace
