// Plots: ticks on round values, and a long run reduced per screen column
// without losing a spike or growing the page.
#include <cmath>
#include <cstdlib>
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

// The page's embedded numbers: a number after `key` (from `from`).
double numberAfter(const std::string& page, const std::string& key, std::size_t from = 0) {
    const std::size_t at = page.find(key, from);
    if (at == std::string::npos) return std::nan("");
    return std::strtod(page.c_str() + at + key.size(), nullptr);
}

// A run as the block gives it in report mode at 10 kHz and 50 reports per
// second: outputs held at 0 (the timestamp too) until the first report, one
// report interval before the first sample, then the report instants.
RunTrace heldRun(double firstSample, double seconds, const std::string& label) {
    RunTraceBuilder builder;
    ModelOutputs out;
    const long samples = static_cast<long>(seconds * 1e4);
    for (long i = 0; i < samples; ++i) {
        if (i >= 100) {
            out.timestamp = firstSample - 0.01 + 0.02 * std::floor((i - 100) / 200.0);
            out.magnitude = 100.0;
            out.frequency = 50.0;
            out.reportStrobe = (i - 100) % 200 == 0;
        }
        builder.add(out);
    }
    return builder.finish(label, {});
}

TEST(Plot, TheTimeAxisSpansTheRunAtRealTimesNotFromTheOrigin) {
    struct Case {
        double firstSample;
        const char* axisSays;  // the absolute start, in the axis label
    };
    const Case cases[] = {
        {80000.37, "time (s) since 80000.36 s (time of day 22:13:20.360)"},
        {1.7e9 + 0.37, "time (s) since 2023-11-14T22:13:20.36"},
        {0.0, "time (s) since -0.01 s"},
    };
    for (const Case& c : cases) {
        const RunTrace trace = heldRun(c.firstSample, 2.0, "real time");
        const std::string page = renderRunPage({trace});
        // 0 .. the run's 2 s (less the last report interval), never 0 .. 80 000 s.
        EXPECT_NEAR(numberAfter(page, "\"time_axis\":["), 0.0, 1e-9) << c.firstSample;
        EXPECT_NEAR(numberAfter(page, "\"time_axis\":[0,"), 1.98, 0.03) << c.firstSample;
        EXPECT_NEAR(numberAfter(page, "\"time_origin\":"), c.firstSample - 0.01, 1e-6) << c.firstSample;
        EXPECT_NE(page.find(c.axisSays), std::string::npos) << c.firstSample;
        // The held rows are counted and named, and drawn only where they
        // lie within the run (a run from time 0).
        EXPECT_EQ(trace.rows, 20000u);
        EXPECT_EQ(trace.rowsSetApart, c.firstSample == 0.0 ? 0u : 100u) << c.firstSample;
        EXPECT_EQ(page.find("are not drawn") != std::string::npos, c.firstSample != 0.0);
    }
}

TEST(Plot, RunsOverlaidKeepTheirOwnTimes) {
    // Near one another (a second apart): one shared time 0, the later run
    // offset by its second. Far apart (a time of day and a Unix time): each
    // from its own start, both over the same 0 .. 2 s.
    const std::string near = renderRunPage({heldRun(80000.37, 2.0, "a"), heldRun(80001.37, 2.0, "b")});
    EXPECT_NEAR(numberAfter(near, "\"time_axis\":[0,"), 2.98, 0.03);
    const std::size_t second = near.find("\"label\":\"b\"");
    EXPECT_NEAR(numberAfter(near, "\"time_origin\":", second), 80000.36, 1e-6);
    EXPECT_NE(near.find("1 s after the axis's time 0"), std::string::npos);

    const std::string far = renderRunPage({heldRun(80000.37, 2.0, "a"), heldRun(1.7e9, 2.0, "b")});
    EXPECT_NEAR(numberAfter(far, "\"time_axis\":[0,"), 1.98, 0.03);
    EXPECT_NEAR(numberAfter(far, "\"time_origin\":", far.find("\"label\":\"b\"")), 1.7e9 - 0.01, 1e-6);
    EXPECT_NE(far.find("since each run's own first timestamp"), std::string::npos);
}

}  // namespace
