#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "model/estimation/non_finite.h"

namespace {

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

struct Atan2Case {
    double y;
    double x;
    double expected;
};

class Atan2SafeTest : public ::testing::Test {
protected:
    void SetUp() override { initNonFinite(sizeof(double)); }
};

TEST_F(Atan2SafeTest, TableOfDefinedResults) {
    const double inf = INFINITY;
    const double pi = 3.141592653589793;
    const Atan2Case cases[] = {
        {inf, -inf, 2.356194490192345}, {-inf, inf, -pi / 4}, {-inf, -inf, -3 * pi / 4},
        {1.0, 0.0, 1.5707963267948966}, {-2.0, -0.0, -1.5707963267948966}, {inf, 0.0, 1.5707963267948966},
        {3.0, -inf, pi}, {inf, 5.0, 1.5707963267948966},
    };
    for (const Atan2Case& c : cases) {
        EXPECT_EQ(bitsOf(atan2Safe(c.y, c.x)), bitsOf(c.expected)) << "y=" << c.y << " x=" << c.x;
    }
}

TEST_F(Atan2SafeTest, ZeroOverZeroIsPositiveZeroWhateverTheSigns) {
    EXPECT_EQ(bitsOf(atan2Safe(0.0, 0.0)), 0u);
    EXPECT_EQ(bitsOf(atan2Safe(0.0, -0.0)), 0u);   // the library gives pi
    EXPECT_EQ(bitsOf(atan2Safe(-0.0, -0.0)), 0u);  // the library gives -pi
}

TEST_F(Atan2SafeTest, NaNInEitherArgumentIsTheStoredNegativeNaN) {
    EXPECT_EQ(bitsOf(atan2Safe(NAN, 1.0)), 0xFFF8000000000000u);
    EXPECT_EQ(bitsOf(atan2Safe(1.0, NAN)), 0xFFF8000000000000u);
    EXPECT_EQ(bitsOf(atan2Safe(-NAN, -NAN)), 0xFFF8000000000000u);
}

TEST_F(Atan2SafeTest, ConstantsAndClassifiers) {
    EXPECT_EQ(bitsOf(nonFinitePosInf), 0x7FF0000000000000u);
    EXPECT_EQ(bitsOf(nonFiniteNegInf), 0xFFF0000000000000u);
    EXPECT_FALSE(isInfinite(NAN));
    EXPECT_TRUE(isInfinite(-INFINITY));
    EXPECT_FALSE(isInfinite(1e308));
    EXPECT_FALSE(isNaNValue(INFINITY));
    EXPECT_TRUE(isNaNValue(NAN));
}

}  // namespace
