// Every output bit of every sample of the golden runs, in-process.
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "model/model_entry.h"
#include "tests/support/golden_cases.h"
#include "tests/support/golden_files.h"

namespace {

class GoldenRunTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRunTest, EveryOutputBitMatches) {
    const GoldenCase& c = GetParam();
    const std::string stem = c.stem();
    const auto inputs = readGoldenRows(stem + ".in.csv");
    const auto outputs = readGoldenRows(stem + ".out.csv");
    ASSERT_FALSE(inputs.empty()) << "cannot read " << stem;
    ASSERT_EQ(inputs.size(), outputs.size());

    InProcessDriver driver(c.entry->installMethods, c.entry->build->sfunctionName);
    ASSERT_TRUE(driver.start()) << driver.error();
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        ModelOutputs actual;
        ASSERT_TRUE(driver.step(inputsFromRow(inputs[i]), actual)) << driver.error();
        const std::string diff = compareOutputs(outputsFromRow(outputs[i]), actual, NanSign::Free);
        ASSERT_TRUE(diff.empty()) << stem << " sample " << i + 1 << ": " << diff;
    }
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, GoldenRunTest, testing::ValuesIn(kGoldenCases), goldenCaseName);

}  // namespace
