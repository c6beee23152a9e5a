// The rules every road shares: the rate found from sample times at any
// epoch, the plain three-phase CSV, and the per-step spacing check at Unix
// times.
#include "io/input_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "io/csv/csv_sample_source.h"
#include "tests/support/tool_process.h"

namespace {

std::vector<double> times(double origin, double rate, double seconds) {
    std::vector<double> t;
    for (int k = 0; k < static_cast<int>(std::llround(rate * seconds)); ++k) t.push_back(origin + k / rate);
    return t;
}

TEST(FindSampleRate, EveryBuildRateAtEveryOriginIsFoundExactly) {
    // One step at 1.7e9 s is quantised to 2.4e-7 s: 10 kHz read 10 010 Hz.
    for (const double origin : {0.0, 80000.37, 1700000123.37}) {
        for (const double rate : {4000.0, 4800.0, 10000.0, 14400.0, 3840.0}) {
            const std::vector<double> t = times(origin, rate, 1.5);
            const RateFinding found = findSampleRate(t.data(), t.size());
            EXPECT_EQ(found.rate, rate) << origin << " " << rate << ": " << found.how;
            EXPECT_NE(found.how.find("whole hertz"), std::string::npos) << found.how;
            EXPECT_EQ(rateAgainstBuildError(found, "10k", 10000.0).empty(), rate == 10000.0) << origin << " " << rate;
        }
    }
}

TEST(FindSampleRate, JumpsEndTheRunAndTooFewTimesTellNothing) {
    std::vector<double> t = times(1000.0, 10000.0, 0.2);
    t.push_back(t.back() + 1.0);  // a jump of time: the run ends before it
    for (double k = 1; k < 100; ++k) t.push_back(t.back() + 1.0 / 4000);
    EXPECT_EQ(findSampleRate(t.data(), t.size()).rate, 10000.0);
    const double two[] = {5.0, 5.0};
    const RateFinding none = findSampleRate(two, 2);
    EXPECT_EQ(none.rate, 0.0);
    EXPECT_EQ(rateAgainstBuildError(none, "10k", 10000.0), "");
    // Three samples at Unix times cannot tell 10 kHz within a thousandth:
    // no refusal on so little.
    const std::vector<double> few = times(1700000123.37, 10000.0, 3e-4);
    EXPECT_EQ(rateAgainstBuildError(findSampleRate(few.data(), few.size()), "10k", 10000.0), "");
}

TEST(InputChecks, OptionRangesAndTheirTexts) {
    EXPECT_EQ(reportRateError(50), "");
    EXPECT_EQ(reportRateError(5000), "report rate 5000 is not a whole number from 1 to 1200 reports per second");
    EXPECT_NE(reportRateError(2.5), "");
    EXPECT_EQ(nominalFrequencyError(60), "");
    EXPECT_EQ(nominalFrequencyError(1e9),
              "nominal frequency 1000000000 Hz is outside 45..65 Hz (the block is designed for 50 and 60 Hz systems)");
}

TEST(PlainCsv, PhasesByNameWithPortsFromTheOptionsAndSpacingAtUnixTimes) {
    ScratchDirectory scratch("plain_csv");
    const std::string path = scratch.file("scope.csv");
    {
        std::ofstream f(path);
        f << "Time,temp,Ua,Ub,Uc\n";
        char row[200];
        for (int k = 0; k < 20000; ++k) {
            const double t = 1700000123.37 + k / 10000.0;
            std::snprintf(row, sizeof row, "%.17g,21,%d,%d,%d\n", t, k, -k, 2 * k);
            f << row;
        }
    }
    CsvReadOptions options;
    options.phases = {"Ua", "Ub", "Uc"};
    options.ports.reportRate = 10;
    options.ports.nominalFrequency = 60.0;
    std::string error;
    auto reader = CsvSampleSource::open(path, error, options);
    ASSERT_TRUE(reader) << error;
    EXPECT_TRUE(reader->plain());
    reader->expectSampleRate(10000.0);  // steps quantised to 0.24 us pass
    ModelInputs in;
    uint64_t rows = 0;
    SampleSource::Status status;
    while ((status = reader->next(in)) == SampleSource::Status::Sample) ++rows;
    EXPECT_EQ(status, SampleSource::Status::End) << reader->error();
    EXPECT_EQ(rows, 20000u);
    EXPECT_EQ(in.phase[0], 19999.0);
    EXPECT_EQ(in.phase[2], 39998.0);
    EXPECT_EQ(in.reportRate, 10);
    EXPECT_EQ(in.nominalFrequency, 60.0);
    EXPECT_EQ(csvSampleRate(path, options, error).rate, 10000.0) << error;

    options.phases = {"Ua", "Ub", "Ux"};
    EXPECT_FALSE(CsvSampleSource::open(path, error, options));
    EXPECT_NE(error.find(path + ":1:1: the header has no column 'Ux'"), std::string::npos) << error;
}

}  // namespace
