// orvane soak on short runs: a clean run passes with every report on the
// grid and no non-finite output; a run across Time = 2e9 s still does; a run
// past the point where the model's +-2e9 s clamp stops the report grid fails
// for its missing reports; bad options are refused.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/tool_process.h"

namespace {

struct SoakCase {
    const char* name;
    const char* arguments;
    int status;
    const char* const* expected;  // lines or parts of lines of the output
};

constexpr const char* kClean[] = {"soak: passed: no non-finite output; interval 3 measures no worse than the first",
                                  "reports off the grid: 0", "Time from 0.0 s (time base zero)", nullptr};
// Centred on 2e9: starts 18 s before it.
// Given in the old spellings, which still work with a note.
constexpr const char* kAcross2e9[] = {"Time from 1999999982.0 s (time base 2e9)", "reports off the grid: 0",
                                      "soak: passed", "note: --hours is now --duration",
                                      "note: --time-base is now --start-time", nullptr};
// At 1200 reports per second the report index reaches the clamp at about
// Time = 2e9 + 1 + 2e9/1200 s = 2001666667.7 s; no report comes after it.
constexpr const char* kPastTheGrid[] = {"soak: FAILED: row 3 has ", " of 36000 reports", nullptr};
constexpr const char* kNoDuration[] = {"orvane soak: option '--duration': give more than 0 s", nullptr};
constexpr const char* kFractionalBase[] = {"'1.5' is not zero, now, 2e9 or a whole number of seconds", nullptr};
constexpr const char* kNoRate[] = {"option '--report-rate': '0' is not an integer from 1 to 1200", nullptr};
constexpr const char* kHelp[] = {"usage: orvane soak [--duration S] [--start-time BASE] [options]", nullptr};

class SoakCommandTest : public testing::TestWithParam<SoakCase> {};

TEST_P(SoakCommandTest, EndsAsExpected) {
    const SoakCase& c = GetParam();
    ScratchDirectory scratch(std::string("soak_") + c.name);
    const ToolResult result = runTool(std::string("soak ") + c.arguments, scratch);
    EXPECT_EQ(result.status, c.status) << result.out << result.err;
    const std::string all = result.out + result.err;
    for (const char* const* part = c.expected; *part != nullptr; ++part) {
        EXPECT_NE(all.find(*part), std::string::npos) << "missing '" << *part << "' in:\n" << all;
    }
    if (all.find("soak: passed") != std::string::npos) {
        EXPECT_EQ(all.find("non-finite output"), all.rfind("non-finite output")) << "only the verdict names them";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SoakCommandTest,
    testing::Values(SoakCase{"Clean", "--duration 36 --interval 12 --wander-period 12", 0, kClean},
                    SoakCase{"Across2e9", "--hours 0.01 --time-base 2e9 --interval 12 --wander-period 12", 0,
                             kAcross2e9},
                    SoakCase{"PastTheReportGrid",
                             "--duration 90 --interval 30 --wander-period 30 --report-rate 1200 --start-time 2001666600",
                             1, kPastTheGrid},
                    SoakCase{"NoDuration", "--duration 0", 2, kNoDuration},
                    SoakCase{"FractionalTimeBase", "--start-time 1.5", 2, kFractionalBase},
                    SoakCase{"ReportRateZero", "--report-rate 0", 2, kNoRate},
                    SoakCase{"Help", "--help", 0, kHelp}),
    [](const testing::TestParamInfo<SoakCase>& info) { return std::string(info.param.name); });

}  // namespace
