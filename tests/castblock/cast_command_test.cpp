// orvane cast as a user runs it: results one a line, and bad values or a
// bad deliverable refused with a message and a non-zero exit.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deliverables.h"
#include "tests/support/tool_process.h"

namespace {

TEST(CastCommandTest, PrintsOneResultPerValue) {
    const ToolResult run = runTool("cast -- 2147483647.9 -2147483648.5 nan -inf -0.0 3.99 -3.99 -0.5");
    EXPECT_EQ(run.status, 0) << run.all();
    EXPECT_EQ(run.out, "2147483647\n-2147483648\n-2147483648\n-2147483648\n0\n3\n-3\n0\n");
}

TEST(CastCommandTest, RefusesWhatItCannotRun) {
    const struct {
        const char* arguments;
        int status;
        const char* message;
    } cases[] = {
        {"cast", 2, "orvane cast: give at least one VALUE"},
        {"cast 1 2x", 2, "orvane cast: value 2 ('2x') is not a number"},
        {"cast 1e999", 2, "orvane cast: value 1 ('1e999') is out of the range of a double"},
        {"cast --deliverable /nonexistent/Narrow32_sf.mexa64 1", 2, "cannot load deliverable"},
        {"cast --deliverable", 2, "option '--deliverable' needs a value"},
    };
    for (const auto& c : cases) {
        const ToolResult run = runTool(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.all();
        EXPECT_NE(run.all().find(c.message), std::string::npos) << c.arguments << "\n" << run.all();
    }
}

TEST(CastCommandTest, AMeasurementDeliverableIsNoCastBlock) {
    const ToolResult run = runTool("cast --deliverable '" + deliverablePath("Orvane_10kHz_sf") + "' 1");
    EXPECT_EQ(run.status, 1) << run.all();
    EXPECT_NE(run.all().find("does not have one double input and one int32 output"), std::string::npos) << run.all();
}

TEST(SizesCommandTest, PrintsTheFortyEntriesOrTheRefusal) {
    const ToolResult run = runTool("sizes '" + deliverablePath("Orvane_10kHz_sf") + "' 1 2");
    ASSERT_EQ(run.status, 0) << run.all();
    EXPECT_NE(run.all().find("\n19 8480229\n20 0\n21 0\n22 0\n23 8192\n"), std::string::npos) << run.all();
    EXPECT_NE(run.all().find("\n39 0\n"), std::string::npos) << run.all();
    const ToolResult bad = runTool("sizes '" + deliverablePath("Orvane_10kHz_sf") + "' two");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.all().find("parameter 1 ('two') is not a number"), std::string::npos) << bad.all();
}

}  // namespace
