// Which second a sample belongs to, and the `Time` the model sees.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "io/sv/sv_continuity.h"
#include "io/sv/sv_time.h"

namespace {

TEST(SvTiming, SecondOfASampleAcrossTheWrap) {
    struct Case {
        const char* what;
        SvClock stamp;
        uint16_t smpCnt;
        int64_t second;
    };
    const Case cases[] = {
        {"in its own second", {100, 500'000'000}, 2000, 100},
        {"last sample of the second, captured just after the top", {100, 300'000}, 3999, 99},
        {"first sample of the next second, stamped by a clock behind", {100, 999'900'000}, 0, 101},
        {"first sample, captured after it", {100, 200'000}, 0, 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(svSampleIndex(c.stamp, c.smpCnt, 4000), c.second * 4000 + c.smpCnt) << c.what;
    }
    // refrTm, when sent, is the clock.
    EXPECT_EQ(svStamp({5, 0}, SvRefreshTime{77, 0x400000, 0}).seconds, 77);
    EXPECT_EQ(svStamp({5, 0}, SvRefreshTime{77, 0x400000, 0}).nanoseconds, 250'000'000);
}

TEST(SvTiming, TimeCountsOnPastMidnight) {
    const int64_t day = 20000 * 86400LL;
    const int64_t lastOfDay = (day + 86399) * 4000 + 3999;
    const int64_t midnight = svMidnightOf((day + 3600) * 4000, 4000);
    EXPECT_EQ(midnight, day);
    EXPECT_EQ(svTimeOf(lastOfDay, 4000, midnight), 86399.0 + 3999.0 / 4000.0);
    EXPECT_EQ(svTimeOf(lastOfDay + 1, 4000, midnight), 86400.0);
}

std::deque<SvSample> feed(SvContinuity& c, const std::vector<int>& counts) {
    std::deque<SvSample> out;
    for (int n : counts) {
        SvArrival a;
        a.stamp = SvClock{1000 + n / 4000, static_cast<int64_t>(n % 4000) * 250'000};
        a.smpCnt = static_cast<uint16_t>(n % 4000);
        a.phase[0] = n;
        c.offer(a, out);
    }
    c.finish(out);
    return out;
}

TEST(SvTiming, DuplicatesReorderingAndLossRestoreOneSampleEach) {
    SvContinuity c(4000, 8);
    // 3 repeated, 5 before 4, 7 lost, 2 again far too late to be anything
    // but a duplicate.
    const std::deque<SvSample> out = feed(c, {0, 1, 2, 3, 3, 5, 4, 6, 8, 9, 2});
    ASSERT_EQ(out.size(), 10u);
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].index, 1000 * 4000 + static_cast<int64_t>(i));
        EXPECT_EQ(out[i].flags.missing, i == 7);
        if (i != 7) {
            EXPECT_EQ(out[i].phase[0], static_cast<double>(i));
        }
    }
    EXPECT_TRUE(std::isnan(out[7].phase[1]));
    EXPECT_EQ(c.counts().received, 9u);
    EXPECT_EQ(c.counts().duplicates, 2u);
    EXPECT_EQ(c.counts().reordered, 1u);
    EXPECT_EQ(c.counts().lost, 1u);
}

TEST(SvTiming, RateFromTheWrapAndABreakAfterALongSilence) {
    std::vector<int> counts;
    for (int n = 3990; n < 4010; ++n) {
        if (n != 3999) counts.push_back(n);  // the top count lost: 3999 + 1 still snaps to 4000
    }
    for (int n = 3 * 4000; n < 3 * 4000 + 5; ++n) counts.push_back(n);
    SvContinuity c;
    const std::deque<SvSample> out = feed(c, counts);
    EXPECT_EQ(c.rate(), 4000u);
    EXPECT_EQ(c.counts().lost, 1u);
    EXPECT_EQ(c.counts().breaks, 1u);
    ASSERT_EQ(out.size(), 25u);
    EXPECT_TRUE(out[20].afterBreak);
    EXPECT_EQ(out[20].index, (1000 + 3) * 4000);

    // An outage of 0.3 s over the top of the first second hides its
    // highest count (3199): the rate comes from the next, whole wrap.
    counts.clear();
    for (int n = 0; n < 2 * 4000 + 5; ++n) {
        if (n < 3200 || n >= 4400) counts.push_back(n);
    }
    SvContinuity outage;
    EXPECT_EQ(feed(outage, counts).size(), 2u * 4000 + 5);
    EXPECT_EQ(outage.rate(), 4000u);
    EXPECT_EQ(outage.counts().lost, 1200u);
    // Ending before the next wrap, the pace since the outage tells it.
    counts.resize(counts.size() - 6);
    SvContinuity shorter;
    feed(shorter, counts);
    EXPECT_EQ(shorter.rate(), 4000u);
    // Told by a wrap the rate is read; from the pace, it is an estimate and
    // says so (sv-list shows "~4000", a run notes it).
    EXPECT_FALSE(outage.rateEstimated());
    EXPECT_TRUE(shorter.rateEstimated());
}

}  // namespace
