#include "io/gap_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

double wave(int k, int phase) { return 100.0 * std::cos(2 * M_PI * 50.0 * k / 10000.0 - 2 * M_PI * phase / 3.0); }

// On a steady waveform a short gap is filled with what the samples would
// have been; the marks run from the gap to one filter memory after it. A gap
// longer than that memory is bridged only up to it.
TEST(GapBridge, ShortGapsFilledLongGapsLeftAndMarksSpanTheMemory) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    GapBridge bridge(10000.0, 50.0);
    ASSERT_EQ(bridge.periodSamples(), 200u);
    ASSERT_EQ(bridge.memorySamples(), 1200u);
    int firstMarked = -1, lastMarked = -1;
    for (int k = 0; k < 4000; ++k) {
        double phase[3] = {wave(k, 0), wave(k, 1), wave(k, 2)};
        const bool gap = k >= 1000 && k < 1010;
        if (gap) phase[1] = nan;
        if (k == 1005) phase[2] = std::numeric_limits<double>::infinity();
        const bool marked = bridge.process(phase);
        if (marked && firstMarked < 0) firstMarked = k;
        if (marked) lastMarked = k;
        for (int p = 0; p < 3; ++p) EXPECT_NEAR(phase[p], wave(k, p), 1e-9) << k;
    }
    EXPECT_EQ(firstMarked, 1000);
    EXPECT_EQ(lastMarked, 1009 + 1199);
    EXPECT_EQ(bridge.bridgedSamples(), 10u);
    EXPECT_EQ(bridge.unbridgedSamples(), 0u);

    GapBridge longGap(10000.0, 50.0);
    int left = 0;
    for (int k = 0; k < 4000; ++k) {
        double phase[3] = {wave(k, 0), wave(k, 1), wave(k, 2)};
        if (k >= 400) phase[0] = nan;
        longGap.process(phase);
        left += std::isnan(phase[0]);
    }
    EXPECT_EQ(longGap.bridgedSamples(), 1200u);
    EXPECT_EQ(left, 4000 - 400 - 1200);
}

}  // namespace
