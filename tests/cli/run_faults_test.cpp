// What `orvane run` does with bad input and bad usage: one message saying
// what and where, exit status 2, and no output file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/tool_process.h"

namespace {

const std::string kHeader = "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode";
const std::string kRow = "0.5,1,2,3,50,0,0,1,0,0,0,50,1";

// `count` good rows at 10 kHz from `origin` (s): by default a time of day
// with a fraction, as real data starts.
std::string manyRows(int count, double origin = 80000.37) {
    std::string rows;
    for (int k = 0; k < count; ++k) rows += std::to_string(origin + k * 1e-4) + ",1,2,3,50,0,0,1,0,0,0,50,1\n";
    return rows;
}

TEST(RunFaults, BadInputFileStopsWithPlaceAndLeavesNoOutput) {
    struct Case {
        const char* what;
        std::string content;
        std::string place;  // ":LINE:COLUMN: " after the file name
        std::string says;
    };
    // The faults sit after many good rows, so that output has been written
    // (past the writer's buffer) before the fault is met.
    const std::string good = manyRows(30000);
    const Case cases[] = {
        {"wrong header", "time,va,vb\n" + good, ":1:", "the header has 3 columns"},
        {"wrong column count", kHeader + "\n" + good + "0.5,1,2\n", ":30002:", "the row has 3 columns"},
        {"unparsable value", kHeader + "\n" + good + "0.5,1,2,3,50,0,0,one,0,0,0,50,1\n", ":30002:18: ",
         "mag_c0 'one' is not a number"},
        {"report rate beyond int32", kHeader + "\n" + good + "0.5,1,2,3,4294967296,0,0,1,0,0,0,50,1\n",
         ":30002:11: ", "outside the int32 range"},
        {"report mode 2", kHeader + "\n" + good + "0.5,1,2,3,50,0,0,1,0,0,0,50,2\n", ":30002:29: ", "not 0 or 1"},
    };
    ScratchDirectory scratch("faults");
    for (const Case& c : cases) {
        const std::string input = scratch.file("in.csv");
        std::ofstream(input) << c.content;
        const std::string output = scratch.file("out.csv");
        const ToolResult result = runTool("run --input '" + input + "' --output '" + output + "'", scratch);
        EXPECT_EQ(result.status, 2) << c.what;
        EXPECT_NE(result.err.find(input + c.place), std::string::npos) << c.what << ": " << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << ": " << result.err;
        // Exactly one line of message.
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << c.what << ": " << result.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.what;
        // Nothing else either: no temporary file beside it.
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch.path())) ++entries;
        EXPECT_EQ(entries, 1u) << c.what;
    }
}

TEST(RunFaults, AFailedRunKeepsAnExistingOutputFile) {
    ScratchDirectory scratch("keep");
    const std::string input = scratch.file("in.csv");
    const std::string output = scratch.file("out.csv");
    std::ofstream(input) << kHeader << "\n" << kRow << "\n0.5,1,2,3,50,0,0,1,0,0,0,50,7\n";
    std::ofstream(output) << "earlier result\n";
    EXPECT_EQ(runTool("run --input '" + input + "' --output '" + output + "'", scratch).status, 2);
    EXPECT_EQ(readWholeFile(output), "earlier result\n");
}

TEST(RunFaults, BadUsageIsRefused) {
    ScratchDirectory scratch("usage");
    const std::string input = scratch.file("in.csv");
    std::ofstream(input) << kHeader << "\n" << kRow << "\n";
    struct Case {
        std::string arguments;
        std::string says;
    };
    const Case cases[] = {
        {"run --input '" + scratch.file("absent.csv") + "'", "absent.csv: cannot open"},
        {"run", "give either --input FILE or --signal NAME"},
        {"run --input '" + input + "' --signal steady", "give either --input FILE or --signal NAME"},
        {"run --input '" + input + "' --build 20k", "unknown build '20k'"},
        {"run --input '" + input + "' --frequency 50", "'--frequency' applies to --signal only"},
        {"run --signal chirp", "unknown signal 'chirp'"},
        {"run --signal steady --duration -1", "'--duration' must lie in"},
        {"run --signal steady --frequency abc", "'abc' is not a finite number"},
        {"run --signal steady --report-mode 2", "'--report-mode': '2' is not an integer from 0 to 1"},
        {"run --signal steady --bogus", "unknown option '--bogus'"},
        {"run --signal steady --reprt-rate 5", "did you mean '--report-rate'?"},
        {"run --signal steady --report-rate 0", "'0' is not an integer from 1 to 1200"},
        {"run --signal steady --nominal-frequency 0", "0 Hz is outside 45..65 Hz"},
        {"run --input '" + input + "' --phases A,B,C", "the header has no column 'A'"},
        {"run --input '" + input + "' --line-to-line", "'--line-to-line' applies to --comtrade recordings only"},
        {"run --input '" + input + "' --report-rate 10", "carries its ports in its own columns"},
        {"run --signal steady --idcode 3", "--idcode has no effect without --c37118"},
        {"run --signal", "needs a value"},
        {"run --signal steady --in-process --deliverable x.so", "not both"},
    };
    for (const Case& c : cases) {
        const ToolResult result = runTool(c.arguments, scratch);
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.arguments << ": " << result.err;
        EXPECT_EQ(result.out, "") << c.arguments;
    }
}

TEST(RunFaults, EveryCommandHasHelp) {
    ScratchDirectory scratch("help");
    for (const char* command : {"run", "demo"}) {
        const ToolResult result = runTool(std::string(command) + " --help", scratch);
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_NE(result.out.find("usage: orvane " + std::string(command)), std::string::npos) << command;
    }
}

TEST(RunOutput, ReportsOnlyKeepsTheStrobedRowsAndStdoutIsTheDefault) {
    ScratchDirectory scratch("reports");
    const ToolResult all = runTool("run --signal steady --duration 0.2 --report-rate 25", scratch);
    const ToolResult reports = runTool("run --signal steady --duration 0.2 --report-rate 25 --reports-only", scratch);
    ASSERT_EQ(all.status, 0) << all.err;
    ASSERT_EQ(reports.status, 0) << reports.err;
    std::istringstream allLines(all.out);
    std::string expected;
    std::string line;
    size_t rows = 0;
    while (std::getline(allLines, line)) {
        // The strobe is the second field from the end.
        const std::string::size_type last = line.rfind(',');
        const std::string strobe = line.substr(line.rfind(',', last - 1) + 1, last - line.rfind(',', last - 1) - 1);
        if (rows++ == 0 || strobe == "1") expected += line + "\n";
    }
    EXPECT_EQ(rows, 2001u);
    EXPECT_EQ(reports.out, expected);
    EXPECT_GT(std::count(reports.out.begin(), reports.out.end(), '\n'), 5);
}

}  // namespace

namespace {

// A deliverable registers its own sample time; a run at another build's
// rate would read every sample at the wrong rate.
TEST(RunFaults, ADeliverableOfAnotherRateIsRefused) {
    ScratchDirectory scratch("other_rate");
    const std::string deliverable = std::filesystem::path(toolPath()).parent_path() / "Orvane_10kHz_sf.mexa64";
    const ToolResult result =
        runTool("run --build 4k --deliverable '" + deliverable + "' --signal steady --duration 0.1", scratch);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("registers a sample time of 0.0001 s (10000 Hz), but the run is at 4000 Hz"),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(result.out.empty());
}

}  // namespace
