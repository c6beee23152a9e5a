// The cast block Narrow32_sf through its mexFunction: the conversion, its
// registered shape, its reduced frame and its propagation methods.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/cast_block_runner.h"
#include "host/mex_block.h"
#include "model/facts/model_facts.h"
#include "tests/support/deliverables.h"

namespace {

// Defined for every double, at compile time too (a constant expression
// cannot contain undefined behaviour).
static_assert(facts::truncateToInt32(2147483647.9) == INT32_MAX);
static_assert(facts::truncateToInt32(-2147483648.9) == INT32_MIN);
static_assert(facts::truncateToInt32(2147483648.0) == INT32_MIN);
static_assert(facts::truncateToInt32(-2147483649.0) == INT32_MIN);
static_assert(facts::truncateToInt32(std::numeric_limits<double>::quiet_NaN()) == INT32_MIN);

std::shared_ptr<Deliverable> castDeliverable() {
    std::string error;
    auto deliverable = loadDeliverable("Narrow32_sf", error);
    EXPECT_NE(deliverable, nullptr) << error;
    return deliverable;
}

TEST(Narrow32ConversionTest, TruncatesTowardZeroWithoutSaturation) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        int32_t out;
    } cases[] = {
        {2147483647.9, INT32_MAX},   {-2147483648.5, INT32_MIN}, {2147483648.0, INT32_MIN},
        {1e10, INT32_MIN},           {-1e10, INT32_MIN},         {inf, INT32_MIN},
        {-inf, INT32_MIN},           {std::nan(""), INT32_MIN},  {-std::nan(""), INT32_MIN},
        {-0.0, 0},                   {3.99, 3},                  {-3.99, -3},
        {-0.5, 0},                   {0.0, 0},                   {-2147483649.0, INT32_MIN},
        {5e-324, 0},                 {123456.0, 123456},         {-2147483647.0, -2147483647},
    };
    std::vector<double> values;
    for (const auto& c : cases) values.push_back(c.in);
    std::vector<int32_t> results;
    std::string error;
    ASSERT_TRUE(runCastBlock(castDeliverable(), values, results, error)) << error;
    ASSERT_EQ(results.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(results[i], cases[i].out) << "input " << values[i];
    }
    // The same result on every call: the block keeps nothing between hits.
    ASSERT_TRUE(runCastBlock(castDeliverable(), {1e10, 3.99, 1e10}, results, error)) << error;
    EXPECT_EQ(results, (std::vector<int32_t>{INT32_MIN, 3, INT32_MIN}));
}

TEST(Narrow32ShapeTest, RegistersOneDoubleInOneInt32OutAtAnInheritedRate) {
    MexBlock block(castDeliverable());
    ASSERT_TRUE(block.start()) << block.error();
    SimStruct* S = block.simStruct();
    ASSERT_EQ(ssGetNumInputPorts(S), 1);
    ASSERT_EQ(ssGetNumOutputPorts(S), 1);
    EXPECT_EQ(S->inputPorts[0].width, 1);
    EXPECT_EQ(S->inputPorts[0].dataType, SS_DOUBLE);
    EXPECT_EQ(S->inputPorts[0].directFeedThrough, 1);
    EXPECT_EQ(S->inputPorts[0].requiredContiguous, 1);
    EXPECT_EQ(S->inputPorts[0].frameData, 0);
    EXPECT_EQ(S->outputPorts[0].width, 1);
    EXPECT_EQ(S->outputPorts[0].dataType, SS_INT32);
    EXPECT_EQ(ssGetSampleTime(S, 0), INHERITED_SAMPLE_TIME);
    EXPECT_EQ(ssGetOffsetTime(S, 0), 0.0);
    EXPECT_EQ(ssGetOptions(S), 0x20080002u | 0x2000u);
    EXPECT_EQ(S->sizes[kSizesRTWGeneratedSFcn], 0) << "no generated-code mark";
    EXPECT_EQ(ssGetNumDWork(S), 0);
    EXPECT_TRUE(block.record().genericRequests().empty()) << "no request 280, no multi-instance calls";
}

TEST(Narrow32FrameTest, NoStartInitialConditionsOrUpdate) {
    for (int flag : {102, 105, 117}) {
        MexBlock block(castDeliverable());
        ASSERT_TRUE(block.handOverSizes()) << block.error();
        EXPECT_FALSE(block.callMethod(flag));
        EXPECT_EQ(block.error(), "Invalid flag encountered in simulink") << "flag " << flag;
    }
}

TEST(Narrow32FrameTest, CommandLineSizesOwnColumnAndParameterRefusal) {
    auto deliverable = castDeliverable();
    std::vector<double> expected(40, 0.0);
    expected[2] = 1;
    expected[3] = 1;
    expected[6] = 1;
    expected[19] = 8480229;
    expected[23] = 0x20080002u | 0x2000u;
    expected[31] = 2;
    std::vector<double> sizes;
    std::string error;
    ASSERT_TRUE(commandLineSizes(*deliverable, {}, sizes, error)) << error;
    EXPECT_EQ(sizes, expected);

    // With a parameter nothing is registered: zero port counts.
    std::vector<double> refused(40, 0.0);
    refused[19] = 8480229;
    refused[23] = 0x2000;
    ASSERT_TRUE(commandLineSizes(*deliverable, {1.0}, sizes, error)) << error;
    EXPECT_EQ(sizes, refused);
}

TEST(Narrow32FrameTest, NameCheckComparesTheWholeName) {
    for (const char* name : {"Narrow32", "Narrow32_sf2", "Narrow32_s", "narrow32_sf"}) {
        MexBlock block(castDeliverable(), name);
        EXPECT_FALSE(block.handOverSizes()) << name;
        EXPECT_EQ(block.error(), std::string("S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME "
                                             "Narrow32_sf\", whereas name of the S-function MEX file is \"") +
                                     name + "\". The source needs to be updated");
    }
}

// The propagation methods the cast block fills, called with posted values.
TEST(Narrow32PropagationTest, DataTypesAndFrameSettings) {
    MexBlock block(castDeliverable());
    ASSERT_TRUE(block.handOverSizes()) << block.error();
    SimStruct* S = block.simStruct();

    ASSERT_TRUE(block.callMethod(kFlagSetDefaultPortDataTypes));
    EXPECT_EQ(S->inputPorts[0].dataType, SS_DOUBLE);
    EXPECT_EQ(S->outputPorts[0].dataType, SS_DOUBLE);

    block.postPortIndex(5);  // not consulted: the block has one port a side
    block.postProposedInt(SS_SINGLE);
    ASSERT_TRUE(block.callMethod(kFlagSetInputPortDataType));
    EXPECT_EQ(S->inputPorts[0].dataType, SS_SINGLE);
    block.postProposedInt(SS_INT32);
    ASSERT_TRUE(block.callMethod(kFlagSetOutputPortDataType));
    EXPECT_EQ(S->outputPorts[0].dataType, SS_INT32);

    const struct {
        int proposed;
        int stored;
    } frames[] = {{-1, -1}, {0, 0}, {1, 1}, {2, 0}, {3, 1}, {-3, 1}};
    block.postPortIndex(0);
    for (const auto& f : frames) {
        block.postProposedInt(f.proposed);
        ASSERT_TRUE(block.callMethod(kFlagSetInputPortFrameData));
        EXPECT_EQ(S->inputPorts[0].frameData, f.stored) << "proposed " << f.proposed;
    }
    // An index the block never registered is ignored, not written past the
    // port array.
    S->inputPorts[0].frameData = 0;
    block.postPortIndex(1);
    block.postProposedInt(1);
    ASSERT_TRUE(block.callMethod(kFlagSetInputPortFrameData));
    EXPECT_EQ(S->inputPorts[0].frameData, 0);
}

}  // namespace
