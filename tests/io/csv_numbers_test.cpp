#include "io/csv/csv_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double fromBits(uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

std::string format(double value) {
    char text[kMaxCsvDoubleLength + 1];
    char* end = formatCsvDouble(text, value);
    return std::string(text, end);
}

bool parse(const std::string& text, double& value) {
    return parseCsvDouble(text.c_str(), text.c_str() + text.size(), value);
}

// Every double written must read back to the same 64 bits, NaN sign
// included, and be the text printf("%.17g") gives (the golden files' form).
void expectRoundTrip(double value) {
    const std::string text = format(value);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17g", value);
    EXPECT_EQ(text, printed);
    double back = 0.0;
    ASSERT_TRUE(parse(text, back)) << text;
    if (std::isnan(value)) {
        EXPECT_TRUE(std::isnan(back)) << text;
        EXPECT_EQ(std::signbit(value), std::signbit(back)) << text;
    } else {
        EXPECT_EQ(bitsOf(value), bitsOf(back)) << text;
    }
}

TEST(CsvDoubles, SpecialValuesRoundTripToTheirBits) {
    const double cases[] = {
        0.0,
        -0.0,
        1.0,
        0.1,
        1.0 / 3.0,
        1000.0001,
        -49.99999999999998,
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(),
        -std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(),
        std::numeric_limits<double>::epsilon(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        9007199254740993.0,
    };
    for (double value : cases) expectRoundTrip(value);
    EXPECT_EQ(format(-std::numeric_limits<double>::quiet_NaN()), "-nan");
    EXPECT_EQ(format(std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(CsvDoubles, RandomBitPatternsRoundTrip) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) expectRoundTrip(fromBits(random()));
}

TEST(CsvDoubles, AcceptsWhatStrtodAcceptsAndNothingAfterIt) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"1.5", true},     {"-2e-3", true}, {"nan", true},   {"-nan", true}, {"inf", true},    {"-inf", true},
        {"Infinity", true}, {"0x1p-2", true}, {" 7", true},   {"+3", true},   {"1e999", true},  {"", false},
        {"abc", false},    {"1.5x", false}, {"1.5 ", false}, {"1,5", false}, {"--1", false},   {".", false},
    };
    for (const Case& c : cases) {
        double value = 0.0;
        EXPECT_EQ(parse(c.text, value), c.accepted) << "'" << c.text << "'";
    }
}

TEST(CsvIntegers, ParsesInt32AndRefusesTheRest) {
    struct Case {
        const char* text;
        IntegerParse result;
        int32_t value;
    };
    const Case cases[] = {
        {"50", IntegerParse::Ok, 50},
        {"-7", IntegerParse::Ok, -7},
        {"0", IntegerParse::Ok, 0},
        {"2147483647", IntegerParse::Ok, 2147483647},
        {"-2147483648", IntegerParse::Ok, -2147483647 - 1},
        {"2147483648", IntegerParse::OutOfRange, 0},
        {"-2147483649", IntegerParse::OutOfRange, 0},
        {"99999999999999999999999", IntegerParse::OutOfRange, 0},
        {"50.0", IntegerParse::NotAnInteger, 0},
        {"1e3", IntegerParse::NotAnInteger, 0},
        {"", IntegerParse::NotAnInteger, 0},
        {"x", IntegerParse::NotAnInteger, 0},
        {"nan", IntegerParse::NotAnInteger, 0},
    };
    for (const Case& c : cases) {
        int32_t value = 0;
        const std::string text = c.text;
        EXPECT_EQ(parseCsvInt32(text.c_str(), text.c_str() + text.size(), value), c.result) << "'" << c.text << "'";
        if (c.result == IntegerParse::Ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

}  // namespace
