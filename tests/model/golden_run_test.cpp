// Every output bit of every sample of the golden runs, in-process.
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "model/model_entry.h"
#include "tests/support/golden_files.h"

namespace {

struct GoldenCase {
    const char* signal;
    const char* buildTag;
    const ModelEntry* entry;
};

std::string caseName(const testing::TestParamInfo<GoldenCase>& info) {
    return std::string(info.param.signal) + "_" + info.param.buildTag;
}

class GoldenRunTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRunTest, EveryOutputBitMatches) {
    const GoldenCase& c = GetParam();
    const std::string stem = std::string(c.signal) + "_" + c.buildTag;
    const auto inputs = readGoldenRows(stem + ".in.csv");
    const auto outputs = readGoldenRows(stem + ".out.csv");
    ASSERT_FALSE(inputs.empty()) << "cannot read " << stem;
    ASSERT_EQ(inputs.size(), outputs.size());

    InProcessDriver driver(c.entry->installMethods, c.entry->build->sfunctionName);
    ASSERT_TRUE(driver.start()) << driver.error();
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        ModelOutputs actual;
        ASSERT_TRUE(driver.step(inputsFromRow(inputs[i]), actual)) << driver.error();
        const std::string diff = compareOutputs(outputsFromRow(outputs[i]), actual);
        ASSERT_TRUE(diff.empty()) << stem << " sample " << i + 1 << ": " << diff;
    }
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, GoldenRunTest,
                         testing::Values(GoldenCase{"steady50", "10k", &model_10k::kModelEntry},
                                         GoldenCase{"steady50", "14p4k", &model_14p4k::kModelEntry},
                                         GoldenCase{"steady50", "4k", &model_4k::kModelEntry},
                                         GoldenCase{"ramp", "10k", &model_10k::kModelEntry},
                                         GoldenCase{"ramp", "14p4k", &model_14p4k::kModelEntry},
                                         GoldenCase{"ramp", "4k", &model_4k::kModelEntry},
                                         GoldenCase{"stress", "10k", &model_10k::kModelEntry},
                                         GoldenCase{"stress", "14p4k", &model_14p4k::kModelEntry},
                                         GoldenCase{"stress", "4k", &model_4k::kModelEntry}),
                         caseName);

}  // namespace
