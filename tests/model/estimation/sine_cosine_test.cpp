// The model takes the sine and the cosine of one angle from one sincos call.
// That is only allowed if the pair is bit for bit what the separate sin and
// cos calls give. The reference calls go through volatile function pointers
// so that the compiler cannot merge them into sincos itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "model/estimation/sine_cosine.h"

namespace {

double (*volatile gSin)(double) = &::sin;
double (*volatile gCos)(double) = &::cos;

uint64_t bitsOf(double x) {
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Counts the arguments whose pair differs from the separate calls in any
// bit, and keeps the first for the message.
struct Mismatches {
    std::size_t count = 0;
    double first = 0.0;

    void check(double angle) {
        const est::SineCosine pair = est::sineCosine(angle);
        if (bitsOf(pair.sine) != bitsOf(gSin(angle)) || bitsOf(pair.cosine) != bitsOf(gCos(angle))) {
            if (count == 0) first = angle;
            ++count;
        }
    }
};

TEST(SineCosine, MatchesSeparateCallsOnOscillatorPhases) {
    // Oscillator phases advance by 2*pi*Ts*F and are wrapped into -pi..pi:
    // a dense sweep of that range at every build's step and tuning spread.
    Mismatches m;
    const double steps[] = {0.0006283185307179586, 0.0004363323129985824, 0.0015707963267948967};
    const double tunings[] = {25.0, 49.87, 50.0, 50.013, 60.0, 64.99};
    for (double step : steps) {
        for (double tuning : tunings) {
            double phase = 0.0;
            for (int k = 0; k < 40000; ++k) {
                phase += step * tuning;
                if (phase > std::numbers::pi) phase -= 2.0 * std::numbers::pi;
                m.check(phase);
            }
        }
    }
    EXPECT_EQ(m.count, 0u) << "first differing angle " << m.first;
}

TEST(SineCosine, MatchesSeparateCallsOnAnyAngle) {
    // The correction angle adds a calibration polynomial, so it can be any
    // double: random angles over every binade, both signs, and the
    // neighbours of multiples of pi/2 where the argument reduction is hardest.
    Mismatches m;
    std::mt19937_64 random(20240607);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-1074, 1023);
    for (int k = 0; k < 400000; ++k) {
        const double angle = std::ldexp(mantissa(random), exponent(random));
        m.check(angle);
        m.check(-angle);
    }
    for (int q = -4000; q <= 4000; ++q) {
        double near = q * (std::numbers::pi / 2.0);
        for (int ulp = 0; ulp < 8; ++ulp) {
            m.check(near);
            near = std::nextafter(near, std::numeric_limits<double>::infinity());
        }
    }
    EXPECT_EQ(m.count, 0u) << "first differing angle " << m.first;
}

TEST(SineCosine, MatchesSeparateCallsOnSpecialValues) {
    const double specials[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               1e22,
                               6.283185307179586,
                               -3.141592653589793};
    for (double angle : specials) {
        const est::SineCosine pair = est::sineCosine(angle);
        EXPECT_EQ(bitsOf(pair.sine), bitsOf(gSin(angle))) << "sine of " << angle;
        EXPECT_EQ(bitsOf(pair.cosine), bitsOf(gCos(angle))) << "cosine of " << angle;
    }
}

}  // namespace
