// orvane compliance refuses bad options before running anything.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/tool_process.h"

namespace {

TEST(ComplianceCommand, HelpDescribesEveryOption) {
    const ToolResult o = runTool("compliance --help");
    EXPECT_EQ(o.status, 0);
    for (const char* option : {"--build", "--nominal-frequency", "--report-rate", "--estimator", "--quick",
                               "--step-positions", "--start-time", "--json", "--html", "--deliverable",
                               "--in-process"}) {
        EXPECT_NE(o.all().find(option), std::string::npos) << option;
    }
}

TEST(ComplianceCommand, BadOptionsExitWithStatusTwoAndSayWhich) {
    const struct {
        const char* arguments;
        const char* mentions;
    } cases[] = {
        {"--estimator best", "--estimator"},
        {"--nominal-frequency 55", "--nominal-frequency"},
        {"--report-rate 0", "report-rate"},
        {"--step-positions 5", "step-positions"},
        {"--build 8k", "8k"},
        {"--in-process --deliverable x.mexa64", "either"},
        {"--json /nonexistent-directory/out.json --in-process", "/nonexistent-directory/out.json"},
        {"--html -", "--html"},
        {"--colour", "colour"},
    };
    for (const auto& c : cases) {
        const ToolResult o = runTool(std::string("compliance ") + c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.all();
        EXPECT_NE(o.all().find(c.mentions), std::string::npos) << c.arguments << "\n" << o.all();
        EXPECT_EQ(o.all().find("Accuracy"), std::string::npos) << c.arguments << ": the plan ran";
    }
}

// A plan that ran and failed a limit says so in its exit status: the
// reference estimator alone at 4 kHz and 60 Hz, whose rounded filter order
// fails the ROCOF limit under high harmonics.
TEST(ComplianceCommand, AFailedLimitExitsWithStatusThree) {
    const ToolResult o = runTool("compliance --build 4k --nominal-frequency 60 --estimator reference --quick");
    EXPECT_EQ(o.status, 3) << o.all();
    EXPECT_NE(o.out.find("FAIL"), std::string::npos) << o.out;
}

}  // namespace
