// TVE, FE and RFE on phasors whose errors are known by construction.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "compliance/error_metrics.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct TveCase {
    const char* what;
    PhasorEstimate measured;
    PhasorEstimate ideal;
    double tve;
};

TEST(TotalVectorError, CombinesMagnitudeAndAngleErrors) {
    const TveCase cases[] = {
        {"exact", {100.0, 0.3}, {100.0, 0.3}, 0.0},
        {"1 % high", {101.0, 0.3}, {100.0, 0.3}, 0.01},
        {"1 % low", {99.0, -1.0}, {100.0, -1.0}, 0.01},
        {"angle off by 0.01 rad", {100.0, 0.01}, {100.0, 0.0}, 2.0 * std::sin(0.005)},
        // Across the wrap: the two angles are 0.002 rad apart, not 2*pi.
        {"across +-pi", {100.0, -kPi + 0.001}, {100.0, kPi - 0.001}, 2.0 * std::sin(0.001)},
        {"relative to the ideal magnitude", {0.5, 0.0}, {1.0, 0.0}, 0.5},
        {"opposite phasor", {10.0, kPi}, {10.0, 0.0}, 2.0},
    };
    for (const TveCase& c : cases) {
        EXPECT_NEAR(totalVectorError(c.measured, c.ideal), c.tve, 1e-12) << c.what;
    }
}

TEST(FrequencyAndRocofErrors, AreAbsoluteDifferences) {
    const PhasorEstimate ideal{100.0, 0.0, 50.0, 1.0};
    EXPECT_DOUBLE_EQ(frequencyError({100.0, 0.0, 50.004, 1.0}, ideal), 50.004 - 50.0);
    EXPECT_DOUBLE_EQ(frequencyError({100.0, 0.0, 49.9, 1.0}, ideal), 50.0 - 49.9);
    EXPECT_DOUBLE_EQ(rocofError({100.0, 0.0, 50.0, -0.5}, ideal), 1.5);
    EXPECT_TRUE(std::isnan(frequencyError({100.0, 0.0, std::nan(""), 1.0}, ideal)));
}

TEST(WrapToPi, BringsAnglesIntoOneTurn) {
    const struct {
        double in;
        double out;
    } cases[] = {{0.0, 0.0}, {kPi / 2, kPi / 2}, {3 * kPi / 2, -kPi / 2}, {-3 * kPi / 2, kPi / 2},
                 {2 * kPi + 0.1, 0.1}, {-20 * kPi - 0.1, -0.1}, {-kPi, kPi}};
    for (const auto& c : cases) EXPECT_NEAR(wrapToPi(c.in), c.out, 1e-12) << c.in;
}

}  // namespace
