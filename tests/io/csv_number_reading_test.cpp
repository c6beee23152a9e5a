// The CSV reader takes plain decimal numbers on a fast road (from_chars) and
// everything else through strtod. Both must accept exactly the fields strtod
// accepts over the whole field, with strtod's bits: checked here against
// strtod itself on many generated and hand-picked fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/csv/csv_numbers.h"

namespace {

uint64_t bitsOf(double v) {
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// What the reader accepted before: strtod over the whole field.
bool strtodWhole(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && end == text.c_str() + text.size();
}

struct Disagreements {
    std::size_t count = 0;
    std::string first;

    void check(const std::string& text) {
        double expected = 0.0;
        double actual = 0.0;
        const bool accepted = strtodWhole(text, expected);
        const bool parsed = parseCsvDouble(text.c_str(), text.c_str() + text.size(), actual);
        if (accepted != parsed || (accepted && bitsOf(expected) != bitsOf(actual))) {
            if (count == 0) first = text;
            ++count;
        }
    }
};

std::string printed(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

TEST(CsvNumberReading, GeneratedNumbersReadToStrtodsBits) {
    Disagreements d;
    std::mt19937_64 random(7);
    const char* formats[] = {"%.17g", "%.16g", "%.6g", "%.3e", "%.25g", "%.40f", "%a"};
    for (int k = 0; k < 200000; ++k) {
        uint64_t bits = random();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        for (const char* format : formats) d.check(printed(format, value));
    }
    // Values like the samples of a recording: times and volts.
    std::uniform_real_distribution<double> volts(-400.0, 400.0);
    for (int k = 0; k < 200000; ++k) {
        d.check(printed("%.17g", volts(random)));
        d.check(printed("%.17g", k / 10000.0));
    }
    EXPECT_EQ(d.count, 0u) << "first: \"" << d.first << "\"";
}

TEST(CsvNumberReading, HandPickedFieldsAreDecidedAsStrtodDecides) {
    const std::vector<std::string> fields = {
        "0", "-0", "00012", "5.", ".5", "-.5", "1e5", "1E-5", "1e+5", "1.5e308", "1e309", "-1e400",
        "1e-320", "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324", "1e-400",
        "2.2250738585072011e-308", "9007199254740993", "0.1000000000000000055511151231257827",
        "123456789012345678901234567890", "+1.5", " 2", "\t3", "0x1p3", "-0x1.8p1", "nan", "-nan", "NAN",
        "nan(123)", "inf", "-inf", "Infinity", "1e", "1e+", ".", "-", "", "1..2", "1.2.3", "1,5", "2 ", "1e5x",
        "--1", "-+1", "0x", "e5", ".e5",
    };
    Disagreements d;
    for (const std::string& field : fields) {
        d.check(field);
        EXPECT_EQ(d.count, 0u) << "field \"" << field << "\"";
        d.count = 0;
    }
}

}  // namespace
