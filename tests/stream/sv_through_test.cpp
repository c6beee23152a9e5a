// The offline road through the whole instrument at a real Unix time with a
// fraction of a second: every report leaves as a data frame on the report
// grid, the unflagged ones carry the signal's phasor to within the 10 mV
// quantisation, only the filters' start-up is flagged, and frames lost on
// the way are counted and bridged without losing a report instant.
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "io/c37118/frame_time.h"
#include "model/model_entry.h"
#include "stream/sv_through.h"

namespace {

TEST(SvThrough, ReportsLeaveAsFramesOnTheGridAtUnixTimes) {
    const struct {
        const char* name;
        double lose;
    } cases[] = {{"clean", 0.0}, {"1 % of frames lost", 0.01}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SvThroughSettings settings;
        settings.buildTag = "4k";
        settings.modelName = "Orvane_4kHz_sf";
        settings.publisher.rate = defaultSvRate(50.0);
        settings.publisher.loseFraction = c.lose;
        SvThroughRoad road(settings);
        InProcessDriver driver(model_4k::kModelEntry.installMethods, "Orvane_4kHz_sf");
        ThreePhaseSignalParameters shape;
        shape.frequency = 50.5;
        const double start = 1700000000.37;
        const ThreePhaseSignal signal(shape);
        int frames = 0, flagged = 0;
        int64_t previousUs = -1;
        double lastFlagged = 0.0;
        std::string error;
        const bool ran = road.run(
            shape, start, start + 2.0, driver,
            [&](const DataFrame& frame, uint32_t timeBase, double newestInput) {
                ASSERT_EQ(timeBase, 1000000u);
                const int64_t us = static_cast<int64_t>(frame.time.soc) * 1000000 + frame.time.fracSec;
                // 50 reports/s: every 20 ms on the second, none skipped.
                EXPECT_EQ(us % 20000, 0) << us;
                if (previousUs >= 0) {
                    EXPECT_EQ(us - previousUs, 20000);
                }
                previousUs = us;
                ++frames;
                const double time = secondsOf(frame.time, timeBase);
                EXPECT_GE(newestInput - time, 0.0);
                // Without smpRate the stream's rate is known at its first
                // wrap of smpCnt: until that second the PMU reads ahead.
                // A lost sample is given up only once the reorder window
                // (128 samples, 32 ms at 4000 Hz) has gone by.
                if (time > std::ceil(start)) {
                    EXPECT_LT(newestInput - time, c.lose > 0.0 ? 0.04 + 0.032 : 0.04) << time;
                }
                const PmuData& pmu = frame.pmus.at(0);
                if ((pmu.stat & kStatDataErrorMask) != 0) {
                    ++flagged;
                    lastFlagged = time;
                    return;
                }
                const ThreePhaseSignal::Reference ideal = signal.reference(time, 50.0);
                const double magnitude = pmu.phasors.at(0).first * std::sqrt(2.0);
                EXPECT_NEAR(magnitude, ideal.magnitude, 2e-3) << time;
                // A double holds a Unix time to 2.4e-7 s, 7.6e-5 rad at 50 Hz,
                // in the instants the signal is generated at.
                EXPECT_NEAR(std::remainder(pmu.phasors.at(0).second - ideal.angle, 2.0 * M_PI), 0.0, 2e-4) << time;
                EXPECT_NEAR(pmu.frequency, ideal.frequency, 2e-4) << time;
            },
            error);
        ASSERT_TRUE(ran) << error;
        EXPECT_GE(frames, 99);
        EXPECT_GT(flagged, 0);
        EXPECT_LT(lastFlagged - start, 0.5);  // the start-up span, nothing after
        EXPECT_EQ(road.counts().lost > 0, c.lose > 0.0);
        EXPECT_EQ(road.counts().bridged > 0, c.lose > 0.0);
        EXPECT_LE(road.counts().bridged, road.counts().lost);
        EXPECT_FALSE(road.resampled());
    }
}

}  // namespace
