// The registered shape of the measurement block in each build: what the
// host allocates from, and what a wrong value would break.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "host/block_record.h"
#include "model/model_entry.h"
#include "tests/support/model_harness.h"

namespace {

struct PortShape {
    int width;
    int dataType;
};

constexpr PortShape kInputs[7] = {{3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_INT32}, {3, SS_DOUBLE},
                                  {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN}};
constexpr PortShape kOutputs[7] = {{1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE},
                                   {1, SS_DOUBLE}, {1, SS_BOOLEAN}, {1, SS_INT32}};

// Expected registration of work vector k, written from the table of the
// block's state rather than from the registration code.
struct VectorShape {
    int width;
    int dataType;
    bool state;
};

VectorShape expectedVector(int k, int lineLength) {
    if (k == 0 || k == 74) return {4, SS_DOUBLE, true};
    if (k <= 89) return {1, SS_DOUBLE, true};
    if (k <= 149) return {lineLength, SS_DOUBLE, false};
    if (k <= 151) return {1, SS_INT32, true};
    if (k <= 155) return {1, SS_INT32, false};
    if (k <= 215) return {1, SS_INTEGER, false};
    return {1, SS_BOOLEAN, true};
}

class RegistrationTest : public testing::TestWithParam<const ModelEntry*> {};

TEST_P(RegistrationTest, PortsWorkVectorsAndSampleTime) {
    const ModelEntry& entry = *GetParam();
    ModelHarness h(entry);
    ASSERT_TRUE(h.start()) << h.driver().error();
    const SimStruct* S = h.S();

    ASSERT_EQ(S->sizes[kSizesNumInputPorts], 7);
    ASSERT_EQ(S->sizes[kSizesNumOutputPorts], 7);
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(S->inputPorts[p].width, kInputs[p].width) << "input " << p;
        EXPECT_EQ(S->inputPorts[p].dataType, kInputs[p].dataType) << "input " << p;
        EXPECT_EQ(S->inputPorts[p].directFeedThrough, 1) << "input " << p;
        EXPECT_EQ(S->inputPorts[p].sampleTime, entry.build->ts) << "input " << p;
        EXPECT_EQ(S->inputPorts[p].optimOpts, SS_NOT_REUSABLE_AND_GLOBAL);
        EXPECT_EQ(S->outputPorts[p].width, kOutputs[p].width) << "output " << p;
        EXPECT_EQ(S->outputPorts[p].dataType, kOutputs[p].dataType) << "output " << p;
        EXPECT_EQ(S->outputPorts[p].sampleTime, entry.build->ts) << "output " << p;
        EXPECT_EQ(S->outputPorts[p].optimOpts, SS_REUSABLE_AND_LOCAL);
    }

    ASSERT_EQ(S->dworkCapacity, 231);
    for (int k = 0; k < kNumWorkVectors; ++k) {
        const VectorShape want = expectedVector(k, entry.build->delayLineLength);
        EXPECT_EQ(std::string(S->dwork[k].name), "DWORK" + std::to_string(k));
        EXPECT_EQ(S->dwork[k].width, want.width) << "DWORK" << k;
        EXPECT_EQ(S->dwork[k].dataType, want.dataType) << "DWORK" << k;
        EXPECT_EQ(S->dwork[k].usedAs == SS_DWORK_USED_AS_DSTATE, want.state) << "DWORK" << k;
        EXPECT_EQ(S->dwork[k].complexSignal, 0);
    }

    EXPECT_EQ(S->sizes[kSizesNumSampleTimes], 1);
    EXPECT_EQ(S->sampleTimes[0], entry.build->ts);
    EXPECT_EQ(S->offsetTimes[0], 0.0);
    EXPECT_EQ(ssGetOptions(S), 0x900u);
    EXPECT_EQ(S->sizes[kSizesRTWGeneratedSFcn], 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ssGetChecksumVal(S, i), entry.build->checksums[i]);
}

TEST_P(RegistrationTest, RefusesMultipleInstancesThroughTheHost) {
    const ModelEntry& entry = *GetParam();
    ModelHarness h(entry);
    ASSERT_TRUE(h.start());
    ASSERT_NE(h.driver().record().multiExecRefusal(), nullptr);
    EXPECT_STREQ(h.driver().record().multiExecRefusal(), entry.multiExecRefusal());
    const std::vector<int>& requests = h.driver().record().genericRequests();
    EXPECT_EQ(requests, (std::vector<int>{GEN_FCN_SUPPORTS_MULTI_EXEC_INSTANCES, GEN_FCN_REGISTER_MULTI_EXEC_REFUSAL,
                                          GEN_FCN_HAS_STATE_INSIDE_FOR_EACH}));
}

TEST(SampleRateBuildTest, ConstantsAgreeWithTheirFormulas) {
    for (const ModelEntry* entry : kAllModelEntries) {
        const SampleRateBuild& b = *entry->build;
        EXPECT_EQ(b.ts, 1.0 / b.fs) << b.sfunctionName;
        EXPECT_EQ(b.halfTs, b.ts / 2.0) << b.sfunctionName;
        EXPECT_EQ(b.twoPiTs, 6.283185307179586 * b.ts) << b.sfunctionName;
        EXPECT_EQ(b.delayLineLength, static_cast<int>(b.fs) / 25 + 2) << b.sfunctionName;
        EXPECT_EQ(b.pulseHalfCycle, b.delayLineLength + 8) << b.sfunctionName;
        // The longest window, one period at 25 Hz, stays below the largest delay.
        EXPECT_LT(b.fs / 25.0, b.delayLineLength - 1.0) << b.sfunctionName;
    }
    // Fs/(2*pi) of the 4 kHz build sits one unit in the last place below the quotient.
    EXPECT_EQ(kBuild4kHz.fsOverTwoPi, std::nextafter(4000.0 / 6.283185307179586, 0.0));
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, RegistrationTest, testing::ValuesIn(kAllModelEntries),
                         [](const testing::TestParamInfo<const ModelEntry*>& info) {
                             return std::string(info.param->build->sfunctionName);
                         });

}  // namespace
