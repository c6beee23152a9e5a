// The frame with a block of the test's own, called in-process: what the
// deliverables' blocks cannot show (the task id handed to mdlOutputs, a
// block without optional methods, the throw-away SimStruct's port-count
// functions).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/block_record.h"
#include "host/mex_call_scope.h"
#include "sfunction/sfunction_entry.h"
#include "sfunction/throwaway_simstruct.h"

namespace {

std::vector<std::string> gCalls;
int gTaskId = 99;

void initializeSizes(SimStruct*) { gCalls.push_back("sizes"); }
void initializeSampleTimes(SimStruct*) { gCalls.push_back("sample times"); }
void outputs(SimStruct*, int tid) {
    gCalls.push_back("outputs");
    gTaskId = tid;
}
void terminate(SimStruct*) { gCalls.push_back("terminate"); }
void start(SimStruct*) { gCalls.push_back("start"); }

constexpr SfunctionBlock kBareBlock = {
    .name = "bare_sf",
    .description = "MEX level2 S-function \"bare_sf\"",
    .initializeSizes = initializeSizes,
    .initializeSampleTimes = initializeSampleTimes,
    .outputs = outputs,
    .terminate = terminate,
    .initializeConditions = nullptr,
    .start = start,
    .update = nullptr,
    .setInputPortDataType = nullptr,
    .setOutputPortDataType = nullptr,
    .setDefaultPortDataTypes = nullptr,
    .setInputPortFrameData = nullptr,
    .announcesSizesCallFromBlock = false,
};

class FrameInProcessTest : public testing::Test {
protected:
    void SetUp() override { gCalls.clear(); }

    void callMethod(double flag) {
        MexCallScope scope;
        mxArray* flagArray = mxCreateDoubleMatrix(1, 1, mxREAL);
        *mxGetPr(flagArray) = flag;
        mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(record_.simStruct())};
        const mxArray* prhs[4] = {nullptr, nullptr, nullptr, flagArray};
        sfunctionEntry(kBareBlock, -1, plhs, 4, prhs);
    }

    BlockRecord record_{"bare_sf"};
};

TEST_F(FrameInProcessTest, OutputsGetsTheConstantTaskIdOnlyForMinusTwo) {
    const struct {
        int posted;
        int expected;
    } cases[] = {{-2, -2}, {-1, 0}, {0, 0}, {3, 0}};
    for (const auto& c : cases) {
        record_.simStruct()->posted.portIndex = c.posted;
        gTaskId = 99;
        callMethod(104.0);
        EXPECT_EQ(gTaskId, c.expected) << "posted " << c.posted;
    }
    EXPECT_EQ(record_.simStruct()->errorStatus, nullptr);
}

// Without mdlInitializeConditions and mdlUpdate their flags are invalid,
// even with the host's slots filled; mdlStart exists and runs.
TEST_F(FrameInProcessTest, OptionalMethodsExistOnlyWhereTheBlockDefinesThem) {
    SsMethods& m = record_.simStruct()->methods;
    m.mdlInitializeConditions = start;
    m.mdlUpdate = outputs;
    m.mdlStart = start;
    for (double flag : {102.0, 105.0}) {
        record_.simStruct()->errorStatus = nullptr;
        callMethod(flag);
        EXPECT_STREQ(record_.simStruct()->errorStatus, "Invalid flag encountered in simulink") << flag;
    }
    record_.simStruct()->errorStatus = nullptr;
    callMethod(117.0);
    EXPECT_EQ(record_.simStruct()->errorStatus, nullptr);
    callMethod(101.0);
    callMethod(107.0);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"start", "sample times", "terminate"}));
}

TEST(ThrowawaySimStructTest, PortCountFunctionsRecordCountsAndAttachZeroedPorts) {
    MexCallScope scope;
    const mxArray* prhs[6] = {nullptr, nullptr, nullptr, nullptr, mxCreateDoubleMatrix(1, 1, mxREAL),
                              mxCreateString("p")};
    SimStruct* S = makeThrowawaySimStruct("bare_sf", 6, prhs);
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(ssGetRootSS(S), S);
    EXPECT_EQ(ssGetSimMode(S), SS_SIMMODE_SIZES_CALL_ONLY);
    EXPECT_STREQ(ssGetModelName(S), "bare_sf");
    EXPECT_STREQ(ssGetPath(S), "bare_sf");
    EXPECT_EQ(S->blockHandle, nullptr);
    ASSERT_EQ(ssGetSFcnParamsCount(S), 2);
    EXPECT_EQ(ssGetSFcnParam(S, 0), prhs[4]);
    EXPECT_EQ(ssGetSFcnParam(S, 1), prhs[5]);
    EXPECT_FALSE(ssSetNumDWork(S, 1)) << "no work-vector count function";

    EXPECT_FALSE(ssSetNumInputPorts(S, -1));
    EXPECT_EQ(S->sizes[kSizesFlags], 0) << "a refused count marks nothing";
    ASSERT_TRUE(ssSetNumInputPorts(S, 3));
    ASSERT_TRUE(ssSetNumOutputPorts(S, 0));
    EXPECT_EQ(ssGetNumInputPorts(S), 3);
    EXPECT_EQ(ssGetNumOutputPorts(S), 0);
    EXPECT_EQ(S->outputPorts, nullptr);
    EXPECT_EQ(S->sizes[kSizesFlags], kSizesFlagPortCountsRegistered);
    ASSERT_NE(S->inputPorts, nullptr);
    EXPECT_EQ(S->inputPorts[2].width, 0);
    EXPECT_EQ(S->inputPorts[2].signalPtrs, nullptr);
}

TEST(ThrowawaySimStructTest, FourArgumentsMeanNoParameters) {
    MexCallScope scope;
    const mxArray* prhs[4] = {};
    SimStruct* S = makeThrowawaySimStruct("bare_sf", 4, prhs);
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(ssGetSFcnParamsCount(S), 0);
    EXPECT_EQ(S->sfcnParams, nullptr);
}

}  // namespace
