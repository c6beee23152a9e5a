// The exact integer road of the CSV number writer must give printf's
// "%.17g" text, byte for byte, wherever it takes a value, and must take the
// usual values of a run (so that the fast road is the one used).
#include "io/csv/general17.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

// The text of the integer road, or "(none)" where it declines.
std::string fast(double value) {
    char text[32];
    char* end = formatGeneral17(text, value);
    return end == nullptr ? "(none)" : std::string(text, end);
}

std::string printed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

struct Mismatches {
    std::size_t taken = 0;
    std::size_t count = 0;
    std::string first;

    void check(double value) {
        const std::string text = fast(value);
        if (text == "(none)") return;
        ++taken;
        if (text != printed(value)) {
            if (count == 0) first = printed(value) + " written as " + text;
            ++count;
        }
    }
};

TEST(General17, MatchesPrintfOnGeneratedValues) {
    Mismatches m;
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> decade(-8, 18);
    for (int k = 0; k < 300000; ++k) {
        const double v = mantissa(random) * std::pow(10.0, decade(random));
        m.check(v);
        m.check(-v);
        m.check(std::nextafter(v, 0.0));
    }
    for (int k = 0; k < 300000; ++k) m.check(std::bit_cast<double>(static_cast<uint64_t>(random())));
    // Powers of ten and their neighbours: rounding up to the next decade,
    // and the changes between fixed and exponent form.
    for (int decadeExponent = -8; decadeExponent <= 18; ++decadeExponent) {
        const double power = std::pow(10.0, decadeExponent);
        double below = power;
        double above = power;
        for (int ulp = 0; ulp < 64; ++ulp) {
            m.check(below);
            m.check(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, std::numeric_limits<double>::infinity());
        }
    }
    // Short binary fractions: exact decimal expansions, including ties.
    for (int shift = 1; shift <= 80; ++shift) {
        for (int mant = 1; mant < 1000; ++mant) m.check(std::ldexp(static_cast<double>(mant), -shift));
    }
    EXPECT_EQ(m.count, 0u) << "first: " << m.first;
    EXPECT_GT(m.taken, 500000u);
}

TEST(General17, TakesTheValuesOfARunAndDeclinesTheRest) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {50.0, "50"},
        {-0.02, "-0.02"},
        {0.1, "0.10000000000000001"},
        {12345.678, "12345.678"},
        {350000.0, "350000"},
        {3.141592653589793, "3.1415926535897931"},
        {1.1564823173178715e-06, "1.1564823173178715e-06"},
        {99999999999999984.0, "99999999999999984"},  // the largest double below 1e17
        {0.0, "(none)"},
        {-0.0, "(none)"},
        {1e17, "(none)"},
        {9.9e-7, "(none)"},
        {std::numeric_limits<double>::denorm_min(), "(none)"},
        {std::numeric_limits<double>::infinity(), "(none)"},
        {std::numeric_limits<double>::quiet_NaN(), "(none)"},
    };
    for (const Case& c : cases) EXPECT_EQ(fast(c.value), c.text) << printed(c.value);
}

}  // namespace
