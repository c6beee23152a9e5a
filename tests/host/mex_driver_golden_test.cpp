// The shipping road against the in-process road: each golden input through
// the deliverable's mexFunction gives the golden outputs and the in-process
// outputs, bit for bit, in all three builds.
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "host/mex_driver.h"
#include "model/model_entry.h"
#include "tests/support/deliverables.h"
#include "tests/support/golden_cases.h"
#include "tests/support/golden_files.h"

namespace {

class MexGoldenRunTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(MexGoldenRunTest, ThroughMexFunctionEqualsInProcessAndGolden) {
    const GoldenCase& c = GetParam();
    const std::string stem = c.stem();
    const auto inputs = readGoldenRows(stem + ".in.csv");
    const auto outputs = readGoldenRows(stem + ".out.csv");
    ASSERT_FALSE(inputs.empty()) << "cannot read " << stem;
    ASSERT_EQ(inputs.size(), outputs.size());

    std::string error;
    auto mex = MexDriver::open(deliverablePath(c.entry->build->sfunctionName), error);
    ASSERT_NE(mex, nullptr) << error;
    InProcessDriver inProcess(c.entry->installMethods, c.entry->build->sfunctionName);
    ASSERT_TRUE(mex->start()) << mex->error();
    ASSERT_TRUE(inProcess.start()) << inProcess.error();
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const ModelInputs in = inputsFromRow(inputs[i]);
        ModelOutputs viaMex;
        ModelOutputs direct;
        ASSERT_TRUE(mex->step(in, viaMex)) << mex->error();
        ASSERT_TRUE(inProcess.step(in, direct)) << inProcess.error();
        const std::string vsInProcess = compareOutputs(direct, viaMex);
        ASSERT_TRUE(vsInProcess.empty()) << stem << " sample " << i + 1 << " against in-process: " << vsInProcess;
        const std::string vsGolden = compareOutputs(outputsFromRow(outputs[i]), viaMex, NanSign::Free);
        ASSERT_TRUE(vsGolden.empty()) << stem << " sample " << i + 1 << " against golden: " << vsGolden;
    }
    mex->finish();
    EXPECT_TRUE(mex->error().empty()) << mex->error();
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, MexGoldenRunTest, testing::ValuesIn(kGoldenCases), goldenCaseName);

}  // namespace
