// A sample CSV at a rate other than the build's is refused, naming the rate
// found; with --build auto it is resampled and measures right.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "tests/support/tool_process.h"

namespace {

TEST(RunCsvRate, AFileAtAnotherRateIsRefusedOrResampled) {
    ScratchDirectory scratch("csv_rate");
    const std::string input = scratch.file("at4800.csv");
    std::FILE* f = std::fopen(input.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n");
    for (int k = 0; k < 4800; ++k) {
        const double t = 1000.0 + k / 4800.0;
        std::fprintf(f, "%.17g", t);
        for (int p = 0; p < 3; ++p) std::fprintf(f, ",%.17g", 325.0 * std::cos(2 * M_PI * 50.0 * t - 2 * M_PI * p / 3));
        // The report rate changes half-way: each output sample takes its row's.
        std::fprintf(f, ",%d,0,0,1,0,0,0,50,1\n", k < 2400 ? 50 : 10);
    }
    std::fclose(f);

    const ToolResult refused = runTool("run --in-process --input '" + input + "'", scratch);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(input + ": the samples are at 4800 Hz (mean of 4799 steps over the first 0.999792 s, whole hertz), but the 10k "
                                 "build takes 10000 Hz"), std::string::npos)
        << refused.err;
    EXPECT_TRUE(refused.out.empty());

    const ToolResult resampled = runTool("run --in-process --reports-only --build auto --input '" + input + "'", scratch);
    ASSERT_EQ(resampled.status, 0) << resampled.err;
    EXPECT_NE(resampled.err.find("10k build (10000 Hz, resampled from 4800 Hz)"), std::string::npos) << resampled.err;
    std::istringstream rows(resampled.out);
    std::string row;
    std::getline(rows, row);
    int reports = 0, lastRate = 0;
    while (std::getline(rows, row)) {
        double t, magnitude;
        int rate;
        ASSERT_EQ(std::sscanf(row.c_str(), "%lf,%lf,%*[^,],%*[^,],%*[^,],%*d,%d", &t, &magnitude, &rate), 3);
        if (t > 1000.1) {
            EXPECT_NEAR(magnitude, 325.0, 0.01) << row;
        }
        lastRate = rate;
        ++reports;
    }
    EXPECT_GT(reports, 20);
    EXPECT_EQ(lastRate, 10);
}

}  // namespace
