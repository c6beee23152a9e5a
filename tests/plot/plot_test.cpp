// Plots: ticks on round values, and a long run reduced per screen column
// without losing a spike or growing the page.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "plot/run_page.h"
#include "plot/svg_plot.h"

namespace {

TEST(Plot, TicksFallOnRoundValuesAndReadWithoutNoise) {
    struct Case {
        double lo, hi;
        int count;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        {0.0, 3.992, 5, {0, 1, 2, 3}},
        {-98.05, 0.196, 5, {-80, -60, -40, -20, 0}},
        {0.1, 0.7, 6, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7}},
        {1000.0, 1000.0, 5, {}},
    };
    for (const Case& c : cases) {
        const std::vector<double> ticks = niceTicks(c.lo, c.hi, c.count);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.lo << ".." << c.hi;
        for (std::size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12);
    }
    EXPECT_EQ(tickText(0.1 + 0.2, 0.1), "0.3");
    EXPECT_EQ(tickText(-80.0, 20.0), "-80");
    EXPECT_EQ(tickText(1000.25, 0.05), "1000.25");
}

TEST(Plot, ALongRunKeepsItsSpikeAndThePageStaysSmall) {
    // 20 million samples (over half an hour at 10 kHz), reported at 50/s:
    // one sample's spike in the frequency must survive the reduction.
    RunTraceBuilder builder;
    constexpr long kSamples = 20000000;
    constexpr long kSpike = 13333337;
    ModelOutputs out;
    for (long i = 0; i < kSamples; ++i) {
        out.timestamp = i * 1e-4;
        out.magnitude = 100.0 + std::sin(i * 1e-5);
        out.angle = 0.1;
        out.frequency = i == kSpike ? 57.0 : 50.0;
        out.rocof = 0.0;
        out.reportStrobe = i % 200 == 0;
        builder.add(out);
    }
    const RunTrace trace = builder.finish("long", {});
    EXPECT_EQ(trace.rows, static_cast<uint64_t>(kSamples));
    EXPECT_EQ(trace.reports, static_cast<uint64_t>(kSamples / 200));
    EXPECT_LE(trace.samples.size(), 2u * 2048u);
    EXPECT_FALSE(trace.reportsExact);
    const std::string page = renderRunPage({trace, trace});
    // Bounded by the columns, whatever the length: a day at 10 kHz is the
    // same size.
    EXPECT_LT(page.size(), 1024u * 1024u);
    const std::size_t data = page.find("\"frequency_max\":");
    ASSERT_NE(data, std::string::npos);
    EXPECT_NE(page.find("57", data), std::string::npos);
    EXPECT_LT(page.find("57", data), page.find("\"rocof_min\"", data));
}

}  // namespace
