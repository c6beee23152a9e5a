// The design's limits told by the tool: a report rate beyond the build's
// reporting capacity is refused by run and serve with the limit in the
// message, and the old spelling of sv-list's listening time still works
// with a note.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/tool_process.h"

namespace {

TEST(DesignLimits, ReportRateBeyondTheBuildsCapacityIsRefused) {
    ScratchDirectory scratch("capacity");
    const std::string out = scratch.file("r.csv");
    struct Case {
        const char* arguments;
        int status;
        bool cautioned;  // some instants skipped while the frequency moves
    };
    const Case cases[] = {
        {"run --build 4k --signal steady --report-rate 1000 --duration 0.1 --output ", 2, false},
        {"run --build 4k --in-process --signal steady --report-rate 1200 --duration 0.1 --output ", 2, false},
        {"run --build 4k --signal steady --report-rate 999 --duration 0.1 --output ", 0, true},
        {"run --build 4k --signal steady --report-rate 701 --duration 0.1 --output ", 0, false},
        {"run --build 10k --signal steady --report-rate 1200 --duration 0.1 --output ", 0, true},
        {"run --build 14p4k --signal steady --report-rate 1200 --duration 0.1 --output ", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::filesystem::remove(out);
        const ToolResult r = runTool(std::string(c.arguments) + "'" + out + "'", scratch);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(std::filesystem::exists(out), c.status == 0);
        EXPECT_EQ(r.err.find("skips some report instants while the frequency moves") != std::string::npos,
                  c.cautioned)
            << r.err;
        if (c.status != 0) {
            EXPECT_NE(r.err.find("beyond the 4k build's reporting capacity"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("only up to 999 reports per second"), std::string::npos) << r.err;
        }
    }
    // A sample CSV's own port is the block's: passed, and said once.
    {
        std::FILE* f = std::fopen(scratch.file("fast.csv").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n");
        for (int k = 0; k < 400; ++k) std::fprintf(f, "%.17g,1,1,1,%d,0,0,1,0,0,0,50,1\n", k / 4000.0, k < 100 ? 50 : 1200);
        std::fclose(f);
        const ToolResult csv = runTool("run --build 4k --input '" + scratch.file("fast.csv") + "' --output '" + out + "'",
                                       scratch);
        EXPECT_EQ(csv.status, 0) << csv.err;
        EXPECT_NE(csv.err.find("fast.csv: sample 101: report rate 1200 is beyond the 4k build's reporting capacity"),
                  std::string::npos)
            << csv.err;
    }
    // serve refuses before it listens, in the same words.
    const ToolResult serve =
        runTool("serve --build 4k --signal steady --report-rate 1200 --duration 1 --listen 127.0.0.1:0", scratch);
    EXPECT_EQ(serve.status, 2);
    EXPECT_NE(serve.err.find("beyond the 4k build's reporting capacity"), std::string::npos) << serve.err;
    EXPECT_EQ(serve.err.find("listening on"), std::string::npos) << serve.err;
}

TEST(DesignLimits, SvListTakesDurationAndStillSeconds) {
    ScratchDirectory scratch("sv_list_duration");
    const ToolResult duration = runTool("sv-list orvane-no-such-if0 --duration 1", scratch);
    EXPECT_EQ(duration.status, 2);
    EXPECT_EQ(duration.err.find("unknown option"), std::string::npos) << duration.err;
    EXPECT_EQ(duration.err.find("--seconds is now"), std::string::npos) << duration.err;
    const ToolResult seconds = runTool("sv-list orvane-no-such-if0 --seconds 1", scratch);
    EXPECT_EQ(seconds.status, 2);
    EXPECT_NE(seconds.err.find("note: --seconds is now --duration"), std::string::npos) << seconds.err;
    const ToolResult both = runTool("sv-list orvane-no-such-if0 --seconds 1 --duration 1", scratch);
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("give --duration only"), std::string::npos) << both.err;
}

}  // namespace
