// The command-line road of every deliverable through its mexFunction: the
// checks and their exact messages, the sizes vector of a command-line
// query, and Simulink's hand-over of its own SimStruct.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/mex_block.h"
#include "host/mex_call_scope.h"
#include "tests/support/deliverables.h"

namespace {

std::string description(const std::string& name) { return "MEX level2 S-function \"" + name + "\""; }

mxArray* matrix(std::size_t rows, std::size_t columns, std::vector<double> values = {}) {
    mxArray* a = mxCreateDoubleMatrix(rows, columns, mxREAL);
    for (std::size_t i = 0; i < values.size(); ++i) mxGetPr(a)[i] = values[i];
    return a;
}

mxArray* scalar(double value) { return matrix(1, 1, {value}); }

// x as Simulink builds it for the hand-over, with a chosen version mark.
mxArray* handOverX(SimStruct* S, double versionMark) {
    const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(S));
    return matrix(3, 1,
                  {static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(address))),
                   static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(address >> 32))), versionMark});
}

class SizesQueryTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string error;
        deliverable_ = loadDeliverable(GetParam(), error);
        ASSERT_NE(deliverable_, nullptr) << error;
    }

    // The text the call raised ("" when none); plhs[0] in result_.
    std::string call(int nlhs, std::vector<const mxArray*> prhs) {
        mxArray* plhs[3] = {nullptr, nullptr, nullptr};
        const std::string raised = deliverable_->call(nlhs, plhs, static_cast<int>(prhs.size()), prhs.data());
        result_ = plhs[0];
        return raised;
    }

    std::vector<const mxArray*> args(const mxArray* flag) {
        return {matrix(0, 0), matrix(0, 0), matrix(0, 0), flag};
    }

    std::vector<double> resultVector() const {
        const double* values = mxGetPr(result_);
        return std::vector<double>(values, values + mxGetM(result_) * mxGetN(result_));
    }

    std::string desc() const { return description(GetParam()); }

    std::shared_ptr<Deliverable> deliverable_;
    mxArray* result_ = nullptr;
};

TEST_P(SizesQueryTest, EachCheckRaisesItsMessage) {
    MexCallScope scope;
    const std::string rightHand = desc() + " must be called with at least 4 right hand arguments";
    const std::string leftHand = desc() + " called with too many left hand arguments";
    const std::string notInteger = "The 4th right hand argument, FLAG, passed to " + desc() + " must be an integer";
    const std::string invalid = "Invalid flag passed to " + desc();

    EXPECT_EQ(call(1, {matrix(0, 0), matrix(0, 0), matrix(0, 0)}), rightHand);
    EXPECT_EQ(call(2, {matrix(0, 0), matrix(0, 0), matrix(0, 0)}), rightHand) << "right-hand check comes first";
    EXPECT_EQ(call(2, args(scalar(0.0))), leftHand);

    const struct {
        const char* what;
        const mxArray* flag;
        std::string expected;
    } flags[] = {
        {"0.5", scalar(0.5), notInteger},
        {"two elements", matrix(1, 2, {0.0, 0.0}), notInteger},
        {"empty", matrix(0, 0), notInteger},
        {"text", mxCreateString("0"), notInteger},
        {"NaN", scalar(std::nan("")), notInteger},
        {"3e9", scalar(3e9), notInteger},
        {"-0.25", scalar(-0.25), notInteger},
        {"1", scalar(1.0), invalid},
        {"3", scalar(3.0), invalid},
        {"-1", scalar(-1.0), invalid},
        {"101", scalar(101.0), invalid},
        {"0", scalar(0.0), ""},
        {"-0", scalar(-0.0), ""},
    };
    for (const auto& f : flags) EXPECT_EQ(call(1, args(f.flag)), f.expected) << "flag " << f.what;
    EXPECT_EQ(call(0, args(scalar(0.0))), "") << "no left-hand argument asked for";
}

TEST_P(SizesQueryTest, ExtraParametersDoNotChangeTheMeasurementVector) {
    if (std::string(GetParam()) == "Narrow32_sf") GTEST_SKIP() << "the cast block checks its parameter count first";
    std::vector<double> expected(40, 0.0);
    expected[2] = 7;
    expected[3] = 7;
    expected[6] = 1;
    expected[19] = 8480229;
    expected[23] = 8192;
    expected[30] = 1;
    expected[31] = 2;
    for (const std::vector<double>& params : {std::vector<double>{}, {1.0}, {1.0, 2.0, 3.0}}) {
        std::vector<double> sizes;
        std::string error;
        ASSERT_TRUE(commandLineSizes(*deliverable_, params, sizes, error)) << error;
        EXPECT_EQ(sizes, expected) << params.size() << " parameters";
    }
}

TEST_P(SizesQueryTest, HandOverNamesMustMatchAndFillNoSlotWhenTheyDiffer) {
    const std::string longName(3000, 'n');
    for (const std::string& wrong : {std::string("Other_sf"), std::string(GetParam()).substr(1), longName,
                                     std::string(GetParam()) + "x"}) {
        MexBlock block(deliverable_, wrong);
        EXPECT_FALSE(block.handOverSizes());
        EXPECT_EQ(block.error(), "S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME " +
                                     std::string(GetParam()) + "\", whereas name of the S-function MEX file is \"" +
                                     wrong + "\". The source needs to be updated");
        EXPECT_EQ(block.simStruct()->methods.mdlInitializeSizes, nullptr);
        EXPECT_EQ(block.simStruct()->methods.mdlOutputs, nullptr);
        EXPECT_EQ(block.simStruct()->sizes[kSizesVersion], 0);
    }
}

// One less than the version mark: not a hand-over, so the SimStruct in x is
// left alone and the answer is the command-line one.
TEST_P(SizesQueryTest, AnyOtherVersionMarkIsACommandLineCall) {
    MexBlock block(deliverable_);
    MexCallScope scope;
    ASSERT_EQ(call(1, {matrix(0, 0), handOverX(block.simStruct(), 8480228.0), matrix(0, 0), scalar(0.0)}), "");
    EXPECT_EQ(block.simStruct()->sizes[kSizesVersion], 0);
    EXPECT_EQ(block.simStruct()->methods.mdlInitializeSizes, nullptr);
    std::vector<double> expected;
    std::string error;
    ASSERT_TRUE(commandLineSizes(*deliverable_, {}, expected, error)) << error;
    EXPECT_EQ(resultVector(), expected);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, SizesQueryTest, testing::ValuesIn(kAllDeliverables),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// ---------------------------------------------------------------- hand-over
TEST(HandOverTest, MeasurementBlocksAnswerWithTheirRegistrationAndAnnounceTheBlock) {
    for (const char* name : kMeasurementDeliverables) {
        std::string error;
        auto deliverable = loadDeliverable(name, error);
        ASSERT_NE(deliverable, nullptr) << error;
        MexBlock block(deliverable);
        ASSERT_TRUE(block.handOverSizes()) << block.error();
        std::vector<double> expected(40, 0.0);
        expected[2] = 7;
        expected[3] = 7;
        expected[6] = 1;
        expected[19] = 8480229;
        expected[23] = 0x900 | 0x2000;
        expected[30] = 1;
        expected[31] = 2;
        EXPECT_EQ(block.sizes(), expected) << name;
        const SsMethods& m = block.simStruct()->methods;
        for (const void* slot : {(const void*)m.mdlInitializeSizes, (const void*)m.mdlInitializeSampleTimes,
                                 (const void*)m.mdlInitializeConditions, (const void*)m.mdlStart,
                                 (const void*)m.mdlGetTimeOfNextVarHit, (const void*)m.mdlOutputs,
                                 (const void*)m.mdlUpdate, (const void*)m.mdlZeroCrossings,
                                 (const void*)m.mdlTerminate}) {
            EXPECT_NE(slot, nullptr) << name;
        }
        EXPECT_EQ(m.mdlSetInputPortDataType, nullptr) << name << ": the block has no propagation methods";
        EXPECT_EQ(block.record().genericRequests(),
                  (std::vector<int>{GEN_FCN_SIZES_CALL_FROM_BLOCK, GEN_FCN_SUPPORTS_MULTI_EXEC_INSTANCES,
                                    GEN_FCN_REGISTER_MULTI_EXEC_REFUSAL, GEN_FCN_HAS_STATE_INSIDE_FOR_EACH}))
            << name;
    }
}

// A checksum with its top bit set comes back as the unsigned value.
TEST(HandOverTest, ChecksumsAreReadUnsigned) {
    std::string error;
    auto deliverable = loadDeliverable("Orvane_10kHz_sf", error);
    ASSERT_NE(deliverable, nullptr) << error;
    MexBlock block(deliverable);
    ASSERT_TRUE(block.handOverSizes()) << block.error();
    ssSetChecksumVal(block.simStruct(), 0, 0xb875ea4eu);
    ASSERT_TRUE(block.handOverSizes()) << block.error();
    EXPECT_EQ(block.sizes()[15], 3094735438.0);
    EXPECT_EQ(ssGetOptions(block.simStruct()), 0x900u | 0x2000u) << "the answered bit stays in the SimStruct";
}

}  // namespace
