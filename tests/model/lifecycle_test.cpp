// Start, initial conditions, update and terminate: the state each leaves,
// what a second initialisation must not touch, and the allocation failure.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "model/model_alloc.h"
#include "tests/support/model_harness.h"

namespace {

constexpr int kFirstLine = 90;
constexpr int kLastLine = 149;

ModelInputs steadyInputs(double time) {
    ModelInputs in;
    in.time = time;
    in.phase[0] = 100.0;
    in.phase[1] = -50.0;
    in.phase[2] = -50.0;
    return in;
}

class LifecycleTest : public testing::TestWithParam<const ModelEntry*> {};

TEST_P(LifecycleTest, StartAndInitialConditionsLeaveTheStatedState) {
    ModelHarness h(*GetParam());
    ASSERT_TRUE(h.start());
    const int lineLength = h.build().delayLineLength;

    const int fifty[] = {1, 2, 3, 5, 7, 9, 87};
    for (int k : fifty) EXPECT_EQ(*h.real(k), 50.0) << "DWORK" << k;
    const int one[] = {59, 65, 77, 82};
    for (int k : one) EXPECT_EQ(*h.real(k), 1.0) << "DWORK" << k;
    for (int k = 1; k <= 89; ++k) {
        bool special = k == 74;
        for (int f : fifty) special = special || f == k;
        for (int o : one) special = special || o == k;
        if (!special) {
            EXPECT_EQ(*h.real(k), 0.0) << "DWORK" << k;
        }
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(h.real(0)[i], 0.0);
        EXPECT_EQ(h.real(74)[i], 0.0);
    }
    EXPECT_EQ(*h.integer(150), 50);
    EXPECT_EQ(*h.integer(151), 50);
    for (int k = 152; k <= 215; ++k) EXPECT_EQ(*h.integer(k), 0) << "DWORK" << k;
    for (int k = kFirstLine; k <= kLastLine; ++k) {
        for (int i = 0; i < lineLength; ++i) ASSERT_EQ(h.real(k)[i], 0.0) << "DWORK" << k << "[" << i << "]";
    }
    for (int k = 216; k <= 230; ++k) EXPECT_EQ(*h.boolean(k), k == 216 || k == 217) << "DWORK" << k;
    ASSERT_NE(h.signals(), nullptr);
}

TEST_P(LifecycleTest, SecondInitializationKeepsLinesIndicesAndCounters) {
    ModelHarness h(*GetParam());
    ASSERT_TRUE(h.start());
    for (int i = 0; i < 137; ++i) ASSERT_TRUE(h.step(steadyInputs(1000.0 + i * h.build().ts)));

    const int lineLength = h.build().delayLineLength;
    std::vector<double> lines;
    for (int k = kFirstLine; k <= kLastLine; ++k) lines.insert(lines.end(), h.real(k), h.real(k) + lineLength);
    std::vector<int32_t> indices;
    for (int k = 152; k <= 215; ++k) indices.push_back(*h.integer(k));
    EXPECT_EQ(indices[0], 137);  // pulse counter of channel 1

    SimStruct* S = h.S();
    S->methods.mdlInitializeConditions(S);

    std::vector<double> linesAfter;
    for (int k = kFirstLine; k <= kLastLine; ++k) linesAfter.insert(linesAfter.end(), h.real(k), h.real(k) + lineLength);
    std::vector<int32_t> indicesAfter;
    for (int k = 152; k <= 215; ++k) indicesAfter.push_back(*h.integer(k));
    EXPECT_EQ(lines, linesAfter);
    EXPECT_EQ(indices, indicesAfter);
    // ...while the latched settings are back at their initial values.
    EXPECT_EQ(*h.real(1), 50.0);
    EXPECT_EQ(*h.real(6), 0.0);
    EXPECT_EQ(*h.real(10), 0.0);
    EXPECT_TRUE(*h.boolean(216));
}

TEST_P(LifecycleTest, UpdateCopiesEveryStoredEntry) {
    ModelHarness h(*GetParam());
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.step(steadyInputs(1000.0)));

    // Give every entry a distinct value, then copy.
    BlockSignals* sig = h.signals();
    for (int k = 0; k < kNumBlockDoubles; ++k) sig->B[k] = 1000.0 + k;
    for (int j = 0; j < kNumBlockInts; ++j) sig->BI[j] = 2000 + j;
    for (int j = 0; j < kNumBlockBools; ++j) sig->BB[j] = (j % 3) != 0;
    SimStruct* S = h.S();
    S->methods.mdlUpdate(S, 0);

    // Single-value copies: vector <- entry.
    const std::pair<int, int> realCopies[] = {
        {1, 182},  {2, 0},    {3, 1},    {4, 5},    {5, 188},  {6, 6},    {7, 8},    {8, 10},   {9, 11},
        {58, 136}, {59, 138}, {60, 137}, {61, 139}, {62, 137}, {63, 142}, {64, 147}, {65, 149}, {66, 148},
        {67, 150}, {68, 148}, {69, 153}, {70, 146}, {71, 157}, {72, 5},   {73, 2},   {75, 164}, {76, 165},
        {87, 182}, {88, 186}, {89, 187},
    };
    for (const auto& [k, entry] : realCopies) EXPECT_EQ(*h.real(k), 1000.0 + entry) << "DWORK" << k;
    const int prevPerSample[4] = {2, 135, 158, 159};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(h.real(0)[i], 1000.0 + prevPerSample[i]);
        EXPECT_EQ(h.real(74)[i], 1000.0 + 160 + i);
    }
    // Cascade: product i keeps its value, stage-1 sum, stage-1 output and
    // stage-2 sum in DWORK 10+4i .. 13+4i.
    const int product[12] = {13, 25, 37, 48, 59, 70, 14, 26, 38, 49, 60, 71};
    const int stage1Sum[12] = {15, 27, 39, 50, 61, 72, 81, 90, 99, 108, 117, 126};
    const int stage1Out[12] = {20, 32, 43, 54, 65, 76, 85, 94, 103, 112, 121, 130};
    const int stage2Sum[12] = {21, 33, 44, 55, 66, 77, 86, 95, 104, 113, 122, 131};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(*h.real(10 + 4 * i), 1000.0 + product[i]) << "product " << i;
        EXPECT_EQ(*h.real(11 + 4 * i), 1000.0 + stage1Sum[i]) << "product " << i;
        EXPECT_EQ(*h.real(12 + 4 * i), 1000.0 + stage1Out[i]) << "product " << i;
        EXPECT_EQ(*h.real(13 + 4 * i), 1000.0 + stage2Sum[i]) << "product " << i;
    }
    EXPECT_EQ(*h.integer(150), 2000);
    EXPECT_EQ(*h.integer(151), 2001);
    const std::pair<int, int> boolCopies[] = {{216, 0}, {217, 12}, {218, 3}, {219, 13}, {220, 4}, {221, 0},
                                              {222, 5}, {223, 1},  {224, 10}, {225, 2}, {226, 11}};
    for (const auto& [k, entry] : boolCopies) EXPECT_EQ(*h.boolean(k), (entry % 3) != 0) << "DWORK" << k;
    // Reserved vectors are left alone.
    EXPECT_EQ(*h.real(77), 1.0);
    EXPECT_EQ(*h.real(78), 0.0);
}

TEST_P(LifecycleTest, AfterASampleThePreviousValuesHoldThePerSampleOutputs) {
    ModelHarness h(*GetParam());
    ASSERT_TRUE(h.start());
    ModelInputs in = steadyInputs(1000.0);
    in.reportMode = false;
    for (int i = 0; i < 50; ++i) {
        in.time = 1000.0 + i * h.build().ts;
        ASSERT_TRUE(h.step(in));
    }
    const ModelOutputs& out = h.outputs();
    EXPECT_EQ(h.real(0)[0], out.timestamp);
    EXPECT_EQ(h.real(0)[1], out.magnitude);
    EXPECT_EQ(h.real(0)[2], out.frequency);
    EXPECT_EQ(h.real(0)[3], out.rocof);
}

TEST_P(LifecycleTest, StepMethodsWithoutABlockSignalRecordTouchNothing) {
    ModelHarness h(*GetParam());
    ASSERT_TRUE(h.start());
    SimStruct* S = h.S();
    S->methods.mdlTerminate(S);
    EXPECT_EQ(ssGetUserData(S), nullptr);
    const double before = *h.real(1);
    S->methods.mdlOutputs(S, 0);
    S->methods.mdlUpdate(S, 0);
    S->methods.mdlTerminate(S);  // a second terminate frees nothing twice
    EXPECT_EQ(*h.real(1), before);
    EXPECT_EQ(S->errorStatus, nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, LifecycleTest, testing::ValuesIn(kAllModelEntries),
                         [](const testing::TestParamInfo<const ModelEntry*>& info) {
                             return std::string(info.param->build->sfunctionName);
                         });

// Either allocation of mdlStart failing: the error text, nothing further
// initialised, and terminate frees what exists (the sanitizer build checks
// that nothing leaks).
TEST(AllocationFailureTest, StartReportsAndTerminateFreesWhatExists) {
    for (int failing = 0; failing < 2; ++failing) {
        ModelHarness h(model_10k::kModelEntry);
        setModelAllocFailure(failing);
        EXPECT_FALSE(h.start()) << "failing allocation " << failing;
        setModelAllocFailure(-1);
        EXPECT_EQ(h.driver().error(), "memory allocation error in generated S-Function");
        EXPECT_EQ(ssGetChecksumVal(h.S(), 0), 0u) << "nothing after the failed allocation runs";
        EXPECT_EQ(ssGetUserData(h.S()), nullptr) << "terminate cleared the user data";
    }
}

}  // namespace
