#include "io/report_quality_tracker.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ModelInputs inputAt(double time) {
    ModelInputs in{};
    in.time = time;
    in.phase[0] = 1.0;
    in.phase[1] = -0.5;
    in.phase[2] = -0.5;
    in.nominalFrequency = 50.0;
    return in;
}

}  // namespace

// At 10 kHz and 50 Hz with 80 ms of smoother memory, the filters fill for
// 40 + 80 ms = 1200 samples after each start; a restart fills them again
// and says so; the source's word and a non-finite value are added.
TEST(ReportQualityTracker, StartUpRestartAndNonFinite) {
    ReportQualityTracker tracker(10000.0, 0.08);
    ModelOutputs out{};
    auto word = [&](uint64_t k, ReportQuality source = 0, bool restart = false) {
        return tracker.next(inputAt(80000.0 + static_cast<double>(k) * 1e-4), out, source, restart);
    };
    EXPECT_EQ(word(0), kQualityStartUp);
    for (uint64_t k = 1; k < 1199; ++k) word(k);
    EXPECT_EQ(word(1199), kQualityStartUp);
    EXPECT_EQ(word(1200), 0);
    EXPECT_EQ(word(1201, kQualityBridged), kQualityBridged);
    out.frequency = NAN;
    EXPECT_EQ(word(1202), kQualityNonFinite);
    out.frequency = 50.0;
    EXPECT_EQ(word(1203, 0, true), kQualityStartUp | kQualityRestarted);
    for (uint64_t k = 1204; k < 2402; ++k) word(k);
    EXPECT_EQ(word(2402), kQualityStartUp | kQualityRestarted);
    EXPECT_EQ(word(2403), 0);
    tracker.setUnsynchronised(true);
    EXPECT_EQ(word(2404), kQualityUnsynchronised);
}
