// Response time, delay time and overshoot on equivalent-time grids built
// by hand.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "compliance/step_response.h"

namespace {

// A grid from -10 ms to +50 ms in 1 ms steps whose TVE is `tve(t)` and whose
// stepped quantity is `value(t)`.
template <typename Tve, typename Value>
std::vector<EquivalentTimePoint> grid(Tve tve, Value value) {
    std::vector<EquivalentTimePoint> g;
    for (int ms = 50; ms >= -10; --ms) {  // out of order on purpose
        const double t = ms * 1e-3;
        g.push_back({t, tve(t), 0.0, 0.0, value(t)});
    }
    sortByTime(g);
    return g;
}

double flat(double) { return 0.0; }

TEST(ResponseTime, RunsFromLeavingTheLimitToReenteringForGood) {
    struct Case {
        const char* what;
        double (*tve)(double);
        double expected;
    };
    const Case cases[] = {
        {"never leaves", [](double) { return 0.001; }, 0.0},
        // Out from 0 to 20 ms inclusive: back within at 21 ms.
        {"one excursion", [](double t) { return t >= 0.0 && t <= 0.0205 ? 0.05 : 0.0; }, 0.021},
        // A second excursion after a brief return counts: re-entering for good.
        {"two excursions",
         [](double t) { return (t >= -0.002 && t <= 0.0055) || (t >= 0.0095 && t <= 0.0125) ? 0.05 : 0.0; }, 0.015},
        {"never settles", [](double t) { return t >= 0.0 ? 0.05 : 0.0; }, std::numeric_limits<double>::infinity()},
        {"NaN counts as out", [](double t) { return std::fabs(t - 0.003) < 1e-6 ? std::nan("") : 0.0; }, 0.001},
        {"exactly at the limit is within", [](double) { return 0.01; }, 0.0},
    };
    for (const Case& c : cases) {
        const auto g = grid(c.tve, flat);
        const double measured = responseTime(g, &EquivalentTimePoint::tve, 0.01);
        if (std::isinf(c.expected)) {
            EXPECT_EQ(measured, c.expected) << c.what;
        } else {
            EXPECT_NEAR(measured, c.expected, 1e-12) << c.what;
        }
    }
}

TEST(DelayTime, InterpolatesTheHalfwayCrossing) {
    // A linear rise from 100 to 110 between -2 ms and +8 ms: halfway (105)
    // at +3 ms.
    const auto rising = grid(flat, [](double t) { return 100.0 + 10.0 * std::clamp((t + 0.002) / 0.010, 0.0, 1.0); });
    EXPECT_NEAR(delayTime(rising, 100.0, 110.0), 0.003, 1e-12);
    // Falling step, halfway before the step instant: the delay is its size.
    const auto falling = grid(flat, [](double t) { return 100.0 - 10.0 * std::clamp((t + 0.0065) / 0.005, 0.0, 1.0); });
    EXPECT_NEAR(delayTime(falling, 100.0, 90.0), 0.004, 1e-12);
    // Never reaching halfway is no delay at all.
    EXPECT_TRUE(std::isnan(delayTime(grid(flat, [](double) { return 100.0; }), 100.0, 110.0)));
}

TEST(Overshoot, IsTheExcursionBeyondEitherSteadyValueOverTheStepSize) {
    // 12 % beyond the final value after an upward step of 10.
    const auto after = grid(flat, [](double t) { return t < 0.0 ? 100.0 : (std::fabs(t - 0.005) < 1e-6 ? 111.2 : 110.0); });
    EXPECT_NEAR(overshoot(after, 100.0, 110.0), 0.12, 1e-9);
    // A dip against the step's direction before it counts too.
    const auto before = grid(flat, [](double t) { return std::fabs(t + 0.003) < 1e-6 ? 99.7 : (t < 0.0 ? 100.0 : 110.0); });
    EXPECT_NEAR(overshoot(before, 100.0, 110.0), 0.03, 1e-9);
    // Downward step: beyond the final value means below it.
    const auto down = grid(flat, [](double t) { return t < 0.0 ? 100.0 : (std::fabs(t - 0.005) < 1e-6 ? 89.5 : 90.0); });
    EXPECT_NEAR(overshoot(down, 100.0, 90.0), 0.05, 1e-9);
    // A monotone response has none.
    EXPECT_EQ(overshoot(grid(flat, [](double t) { return t < 0.0 ? 100.0 : 110.0; }), 100.0, 110.0), 0.0);
}

}  // namespace
