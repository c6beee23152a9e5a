// The method road of every deliverable, through its mexFunction: which flag
// reaches which method, which message an unexpected call leaves in the
// error status, and that posted values reach the host's slots unchanged.
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/mex_block.h"
#include "model/record/work_vectors.h"
#include "tests/support/deliverables.h"

namespace {

constexpr const char* kInvalid = "Invalid flag encountered in simulink";
constexpr const char* kVarHit =
    "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a mdlGetTimeOfNextVarHit "
    "routine";
constexpr const char* kZeroCrossings =
    "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a mdlZeroCrossings routine";

// The slot rows and their messages when the slot is empty.
const std::map<int, const char*> kSlotMessages = {
    {111, "Unexpected call to mdlSetWorkWidths"},
    {112, "Unexpected call to mdlCheckParameters"},
    {113, "Unexpected call to mdlSetInputPortDataType"},
    {114, "Unexpected call to mdlSetOutputPortDataType"},
    {115, "Unexpected call to mdlSetInputPortWidth"},
    {116, "Unexpected call to mdlSetOutputPortWidth"},
    {120, "Unexpected call to mdlSetInputPortComplexSignal"},
    {121, "Unexpected call to mdlSetOutputPortComplexSignal"},
    {122, "Unexpected call to mdlSetInputPortSampleTime"},
    {123, "Unexpected call to mdlSetOutputPortSampleTime"},
    {126, "Unexpected call to mdlSetInputPortDimensionInfo"},
    {127, "Unexpected call to mdlSetOutputPortDimensionInfo"},
    {128, "Unexpected call to mdlSetInputPortFrameData"},
    {131, "Unexpected call to mdlSetDefaultPortDimensionInfo"},
    {132, "Unexpected call to mdlSetDefaultPortDataTypes"},
    {133, "Unexpected call to mdlSetDefaultPortComplexSignals"},
    {142, "Unexpected call to mdlInitializePropagationPass"},
};

const std::map<int, const char*> kAlwaysMessages = {
    {103, kVarHit},
    {108, kZeroCrossings},
    {144, "Unexpected call to mdlGetSimState (MDL_SIM_STATE not defined)"},
    {145, "Unexpected call to mdlSetSimState (MDL_SIM_STATE not defined)"},
};

// What the measurement block's frame leaves in the error status for a flag
// when no propagation slot is filled (null: the method ran).
const char* measurementOutcome(int flag) {
    switch (flag) {
        case 101: case 102: case 104: case 105: case 107: case 117: return nullptr;
        default: break;
    }
    if (kAlwaysMessages.count(flag) != 0) return kAlwaysMessages.at(flag);
    if (kSlotMessages.count(flag) != 0) return kSlotMessages.at(flag);
    return kInvalid;
}

// The cast block has no start, initial conditions or update, and fills four
// propagation slots itself.
const char* castOutcome(int flag) {
    switch (flag) {
        case 101: case 104: case 107: case 113: case 114: case 128: case 132: return nullptr;
        case 102: case 105: case 117: return kInvalid;
        default: return measurementOutcome(flag);
    }
}

// A block of the named deliverable, sized through the hand-over and with its
// ports and work vectors allocated, before any method has run.
std::unique_ptr<MexBlock> sizedBlock(const std::string& name) {
    std::string error;
    auto deliverable = loadDeliverable(name, error);
    if (deliverable == nullptr) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    auto block = std::make_unique<MexBlock>(deliverable);
    if (!block->handOverSizes() || !block->allocate()) {
        ADD_FAILURE() << block->error();
        return nullptr;
    }
    return block;
}

std::string statusOf(MexBlock& block) {
    const char* status = ssGetErrorStatus(block.simStruct());
    return status == nullptr ? "(none)" : status;
}

struct FlagsCase {
    const char* deliverable;
    const char* (*outcome)(int flag);
};

class EveryFlagTest : public testing::TestWithParam<FlagsCase> {};

TEST_P(EveryFlagTest, FlagsZeroTo150SelectTheirRowOfTheTable) {
    for (int flag = 0; flag <= 150; ++flag) {
        auto block = sizedBlock(GetParam().deliverable);
        ASSERT_NE(block, nullptr);
        block->callMethod(flag);
        const char* expected = GetParam().outcome(flag);
        EXPECT_EQ(statusOf(*block), expected == nullptr ? "(none)" : expected) << "flag " << flag;
    }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, EveryFlagTest,
                         testing::Values(FlagsCase{"Orvane_10kHz_sf", measurementOutcome},
                                         FlagsCase{"Orvane_14p4kHz_sf", measurementOutcome},
                                         FlagsCase{"Orvane_4kHz_sf", measurementOutcome},
                                         FlagsCase{"Narrow32_sf", castOutcome}),
                         [](const testing::TestParamInfo<FlagsCase>& info) {
                             return std::string(info.param.deliverable);
                         });

// A flag is truncated toward zero; a value no int holds selects nothing.
TEST(FractionalFlagTest, TruncatedTowardZero) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double flag;
        const char* expected;
    } cases[] = {
        {104.5, nullptr},
        {104.999, nullptr},
        {101.9, nullptr},
        {100.999, kInvalid},
        {103.2, kVarHit},
        {108.7, kZeroCrossings},
        {144.5, "Unexpected call to mdlGetSimState (MDL_SIM_STATE not defined)"},
        {145.999, "Unexpected call to mdlSetSimState (MDL_SIM_STATE not defined)"},
        {146.0, kInvalid},
        {111.5, "Unexpected call to mdlSetWorkWidths"},
        {-0.5, kInvalid},
        {-104.5, kInvalid},
        {std::nan(""), kInvalid},
        {inf, kInvalid},
        {-inf, kInvalid},
        {1e300, kInvalid},
        {4294967296.0 + 104.0, kInvalid},  // does not wrap round to 104
    };
    for (const auto& c : cases) {
        auto block = sizedBlock("Orvane_10kHz_sf");
        ASSERT_NE(block, nullptr);
        block->callMethod(c.flag);
        EXPECT_EQ(statusOf(*block), c.expected == nullptr ? "(none)" : c.expected) << "flag " << c.flag;
    }
}

// ---------------------------------------------------------------- slot rows
struct Recorded {
    int calls = 0;
    int port = 0;
    int value = 0;
    double period = 0.0;
    double offset = 0.0;
    const DimsInfo_T* dims = nullptr;
};
Recorded gRecorded;

void recordVoid(SimStruct*) { ++gRecorded.calls; }
void recordPortInt(SimStruct*, int port, int value) {
    ++gRecorded.calls;
    gRecorded.port = port;
    gRecorded.value = value;
}
void recordPortTime(SimStruct*, int port, double period, double offset) {
    ++gRecorded.calls;
    gRecorded.port = port;
    gRecorded.period = period;
    gRecorded.offset = offset;
}
void recordPortDims(SimStruct*, int port, const DimsInfo_T* dims) {
    ++gRecorded.calls;
    gRecorded.port = port;
    gRecorded.dims = dims;
}

enum class Takes { Nothing, PortInt, PortTime, PortDims, PortOnly };

struct SlotRow {
    int flag;
    Takes takes;
    void (*fill)(SsMethods& m);
    bool dimsFlag;  // the dimensions-method flag under which the row runs
};

const SlotRow kSlotRows[] = {
    {111, Takes::Nothing, [](SsMethods& m) { m.mdlSetWorkWidths = recordVoid; }, false},
    {112, Takes::Nothing, [](SsMethods& m) { m.mdlCheckParameters = recordVoid; }, false},
    {113, Takes::PortInt, [](SsMethods& m) { m.mdlSetInputPortDataType = recordPortInt; }, false},
    {114, Takes::PortInt, [](SsMethods& m) { m.mdlSetOutputPortDataType = recordPortInt; }, false},
    {115, Takes::PortInt, [](SsMethods& m) { m.inputPortSize.width = recordPortInt; }, false},
    {116, Takes::PortInt, [](SsMethods& m) { m.outputPortSize.width = recordPortInt; }, false},
    {120, Takes::PortInt, [](SsMethods& m) { m.mdlSetInputPortComplexSignal = recordPortInt; }, false},
    {121, Takes::PortInt, [](SsMethods& m) { m.mdlSetOutputPortComplexSignal = recordPortInt; }, false},
    {122, Takes::PortTime, [](SsMethods& m) { m.mdlSetInputPortSampleTime = recordPortTime; }, false},
    {123, Takes::PortTime, [](SsMethods& m) { m.mdlSetOutputPortSampleTime = recordPortTime; }, false},
    {126, Takes::PortDims, [](SsMethods& m) { m.inputPortSize.dims = recordPortDims; }, true},
    {127, Takes::PortDims, [](SsMethods& m) { m.outputPortSize.dims = recordPortDims; }, true},
    {128, Takes::PortInt, [](SsMethods& m) { m.mdlSetInputPortFrameData = recordPortInt; }, false},
    {131, Takes::Nothing, [](SsMethods& m) { m.mdlSetDefaultPortDimensionInfo = recordVoid; }, false},
    {132, Takes::Nothing, [](SsMethods& m) { m.mdlSetDefaultPortDataTypes = recordVoid; }, false},
    {133, Takes::Nothing, [](SsMethods& m) { m.mdlSetDefaultPortComplexSignals = recordVoid; }, false},
    {142, Takes::PortOnly, [](SsMethods& m) { m.mdlInitializePropagationPass_ = recordPortInt; }, false},
};

TEST(SlotRowTest, AFilledSlotIsCalledWithThePostedValuesUnchanged) {
    const DimsInfo_T proposed = {5, 1, nullptr, nullptr};
    for (const SlotRow& row : kSlotRows) {
        auto block = sizedBlock("Orvane_10kHz_sf");
        ASSERT_NE(block, nullptr);
        row.fill(block->simStruct()->methods);
        block->setDimsMethodsFlag(row.dimsFlag);
        block->postPortIndex(3);
        block->postProposedInt(-7);
        block->postSampleTime(0.125, 0.5);
        block->postDims(&proposed);
        gRecorded = Recorded{};
        EXPECT_TRUE(block->callMethod(row.flag)) << "flag " << row.flag << ": " << block->error();
        EXPECT_EQ(gRecorded.calls, 1) << "flag " << row.flag;
        switch (row.takes) {
            case Takes::Nothing: break;
            case Takes::PortOnly: EXPECT_EQ(gRecorded.port, 3) << "flag " << row.flag; break;
            case Takes::PortInt:
                EXPECT_EQ(gRecorded.port, 3) << "flag " << row.flag;
                EXPECT_EQ(gRecorded.value, -7) << "flag " << row.flag;
                break;
            case Takes::PortTime:
                EXPECT_EQ(gRecorded.port, 3) << "flag " << row.flag;
                EXPECT_EQ(gRecorded.period, 0.125) << "flag " << row.flag;
                EXPECT_EQ(gRecorded.offset, 0.5) << "flag " << row.flag;
                break;
            case Takes::PortDims:
                EXPECT_EQ(gRecorded.port, 3) << "flag " << row.flag;
                EXPECT_EQ(gRecorded.dims, &proposed) << "flag " << row.flag;
                break;
        }
    }
}

// The width and dimension-info methods share one slot per direction: the
// flag rules a row out before the slot is looked at.
TEST(SlotRowTest, TheDimensionsMethodFlagRulesOutTheOtherKindOfSizeMethod) {
    const struct {
        int flag;
        bool dimsFlag;
    } ruledOut[] = {{115, true}, {116, true}, {126, false}, {127, false}};
    for (const auto& c : ruledOut) {
        auto block = sizedBlock("Orvane_10kHz_sf");
        ASSERT_NE(block, nullptr);
        SsMethods& m = block->simStruct()->methods;
        m.inputPortSize.width = recordPortInt;
        m.outputPortSize.width = recordPortInt;
        block->setDimsMethodsFlag(c.dimsFlag);
        gRecorded = Recorded{};
        EXPECT_FALSE(block->callMethod(c.flag));
        EXPECT_EQ(statusOf(*block), kSlotMessages.at(c.flag)) << "flag " << c.flag;
        EXPECT_EQ(gRecorded.calls, 0) << "flag " << c.flag;
    }
}

// ---------------------------------------------------------------- lifecycle rows
TEST(LifecycleRowTest, AnEmptySlotRefusesTheOptionalMethod) {
    const struct {
        int flag;
        void (*empty)(SsMethods& m);
        const char* message;
    } rows[] = {
        {102, [](SsMethods& m) { m.mdlInitializeConditions = nullptr; }, "Unexpected call to mdlInitializeConditions"},
        {105, [](SsMethods& m) { m.mdlUpdate = nullptr; }, "Unexpected call to mdlUpdate"},
        {117, [](SsMethods& m) { m.mdlStart = nullptr; }, "Unexpected call to mdlStart"},
    };
    for (const auto& row : rows) {
        auto block = sizedBlock("Orvane_10kHz_sf");
        ASSERT_NE(block, nullptr);
        row.empty(block->simStruct()->methods);
        EXPECT_FALSE(block->callMethod(row.flag));
        EXPECT_EQ(statusOf(*block), row.message);
    }
}

TEST(LifecycleRowTest, RefusedInitialConditionsWriteNoInitialValue) {
    auto block = sizedBlock("Orvane_10kHz_sf");
    ASSERT_NE(block, nullptr);
    // DWORK1 starts at 50 Hz (the latched tracked frequency) once the
    // initial conditions are written.
    block->simStruct()->methods.mdlInitializeConditions = nullptr;
    block->callMethod(kFlagInitializeConditions);
    EXPECT_EQ(*static_cast<double*>(ssGetDWork(block->simStruct(), dw::kTrackedForLatch)), 0.0);

    auto written = sizedBlock("Orvane_10kHz_sf");
    ASSERT_NE(written, nullptr);
    ASSERT_TRUE(written->callMethod(kFlagInitializeConditions));
    EXPECT_EQ(*static_cast<double*>(ssGetDWork(written->simStruct(), dw::kTrackedForLatch)), 50.0);
}

TEST(LifecycleRowTest, OwnMethodsRunEvenWhenTheHostClearedTheirSlots) {
    auto block = sizedBlock("Orvane_4kHz_sf");
    ASSERT_NE(block, nullptr);
    block->simStruct()->methods.mdlInitializeSampleTimes = nullptr;
    EXPECT_TRUE(block->callMethod(kFlagInitializeSampleTimes));
    EXPECT_EQ(ssGetSampleTime(block->simStruct(), 0), 2.5e-4);
}

// Step methods on a block without its block-signal record (before start,
// after terminate) return without touching outputs or state.
TEST(LifecycleRowTest, StepsWithoutABlockSignalRecordTouchNothing) {
    for (const char* name : kMeasurementDeliverables) {
        auto block = sizedBlock(name);
        ASSERT_NE(block, nullptr);
        double* timestamp = static_cast<double*>(block->record().outputBuffer(0));
        *timestamp = 123.0;
        EXPECT_TRUE(block->callMethod(kFlagOutputs)) << name;
        EXPECT_TRUE(block->callMethod(kFlagUpdate)) << name;
        EXPECT_EQ(*timestamp, 123.0) << name;
        EXPECT_EQ(*static_cast<double*>(ssGetDWork(block->simStruct(), dw::kPrevPerSample)), 0.0) << name;

        ASSERT_TRUE(block->callMethod(kFlagStart)) << name;
        ASSERT_TRUE(block->callMethod(kFlagTerminate)) << name;
        EXPECT_EQ(ssGetUserData(block->simStruct()), nullptr) << name;
        EXPECT_TRUE(block->callMethod(kFlagOutputs)) << name;
        EXPECT_TRUE(block->callMethod(kFlagUpdate)) << name;
        EXPECT_TRUE(block->callMethod(kFlagTerminate)) << name;  // frees nothing twice
        EXPECT_EQ(*timestamp, 123.0) << name;
    }
}

}  // namespace
