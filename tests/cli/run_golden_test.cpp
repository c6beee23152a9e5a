// The golden runs through `orvane run`, file in, file out, on both roads to
// the model: every output value must have the golden bits, and the sign of
// every NaN that of the model run in this process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/in_process_driver.h"
#include "model/model_entry.h"
#include "tests/support/tool_process.h"
#include "tests/support/golden_cases.h"
#include "tests/support/golden_files.h"

namespace {

const std::string kOutputHeader = "timestamp,magnitude,angle,frequency,rocof,report_strobe,active_report_rate";

class RunGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

std::vector<std::vector<std::string>> csvRows(const std::string& text, std::string& header) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, header);
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        std::string field;
        while (std::getline(in, field, ',')) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

TEST_P(RunGoldenTest, OutputHasTheGoldenBits) {
    const GoldenCase& run = GetParam();
    const std::string name = run.stem();
    ScratchDirectory scratch("golden_" + name);
    const std::string input = scratch.file("in.csv");
    const std::string decompress = "xz -dc '" + std::string(ORVANE_SOURCE_DIR) + "/tests/data/golden/" + name +
                                   ".in.csv.xz' > '" + input + "'";
    ASSERT_EQ(std::system(decompress.c_str()), 0);
    const std::vector<std::vector<std::string>> golden = readGoldenRows(name + ".out.csv");
    ASSERT_FALSE(golden.empty());
    const auto inputs = readGoldenRows(name + ".in.csv");
    std::vector<ModelOutputs> direct(inputs.size());
    InProcessDriver driver(run.entry->installMethods, run.entry->build->sfunctionName);
    ASSERT_TRUE(driver.start()) << driver.error();
    for (size_t k = 0; k < inputs.size(); ++k) ASSERT_TRUE(driver.step(inputsFromRow(inputs[k]), direct[k]));

    for (const char* road : {"", "--in-process"}) {
        const std::string output = scratch.file("out.csv");
        const ToolResult result = runTool("run --build " + std::string(run.buildTag) + " --input '" + input +
                                              "' --output '" + output + "' " + road,
                                          scratch);
        ASSERT_EQ(result.status, 0) << road << ": " << result.err;
        std::string header;
        const auto rows = csvRows(readWholeFile(output), header);
        EXPECT_EQ(header, kOutputHeader);
        ASSERT_EQ(rows.size(), golden.size()) << road;
        for (size_t k = 0; k < rows.size(); ++k) {
            ASSERT_EQ(rows[k].size(), 7u) << road << " row " << k + 1;
            const ModelOutputs written = outputsFromRow(rows[k]);
            ASSERT_EQ(compareOutputs(outputsFromRow(golden[k]), written, NanSign::Free), "")
                << road << " sample " << k + 1;
            ASSERT_EQ(compareOutputs(direct[k], written), "") << road << " sample " << k + 1 << " (NaN sign)";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGoldenRun, RunGoldenTest, ::testing::ValuesIn(kGoldenCases), goldenCaseName);

}  // namespace
