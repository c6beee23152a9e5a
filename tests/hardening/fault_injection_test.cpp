// Faults injected through the substitute host: a host that lacks or refuses
// a registration, an input it cannot provide, a port count it shrank, and
// allocations that fail in mdlStart. Each must end with its stated error
// text or a silent stop, the host must end the run there, and mdlTerminate
// must leave nothing allocated (the sanitizer build proves no leak).
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "host/mex_driver.h"
#include "host/mex_call_scope.h"
#include "model/model_alloc.h"
#include "model/model_entry.h"
#include "model/record/work_vectors.h"
#include "tests/support/deliverables.h"

namespace {

int refuseCount(void*, int) { return 0; }

// A started-or-not measurement block of the 10 kHz deliverable, driven
// through mexFunction only.
std::unique_ptr<MexDriver> measurementDriver() {
    std::string error;
    auto deliverable = loadDeliverable("Orvane_10kHz_sf", error);
    if (deliverable == nullptr) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    return std::make_unique<MexDriver>(deliverable);
}

// Faults the host brings before the block starts: registration stops
// silently where the host fails it, the host then reports its own error
// and no block method runs.
struct RegistrationFault {
    const char* name;
    std::function<void(SimStruct*)> inject;
    const char* hostError;
    int32_t outputPorts;  // what registration got as far as
    int32_t inputPorts;
};

class RegistrationFaultTest : public testing::TestWithParam<RegistrationFault> {};

TEST_P(RegistrationFaultTest, RegistrationStopsSilentlyAndTheHostRefusesToStart) {
    const RegistrationFault& fault = GetParam();
    auto driver = measurementDriver();
    ASSERT_NE(driver, nullptr);
    SimStruct* S = driver->block().simStruct();
    fault.inject(S);

    EXPECT_FALSE(driver->start());
    EXPECT_EQ(driver->error(), fault.hostError);
    EXPECT_EQ(ssGetErrorStatus(S), nullptr) << "the block itself reports nothing";
    const auto& sizes = driver->block().sizes();
    ASSERT_EQ(sizes.size(), 40u);
    EXPECT_EQ(sizes[kSizesNumOutputPorts], fault.outputPorts);
    EXPECT_EQ(sizes[kSizesNumInputPorts], fault.inputPorts);
    EXPECT_EQ(sizes[kSizesOptions], 0x2000) << "the option word is written only after the work vectors";
    EXPECT_EQ(driver->block().record().multiExecRefusal(), nullptr);
    EXPECT_EQ(ssGetUserData(S), nullptr) << "mdlStart never ran";
    ModelOutputs out;
    EXPECT_FALSE(driver->step(ModelInputs{}, out)) << "no step after a refused start";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegistrationFaultTest,
    testing::Values(
        RegistrationFault{"NoWorkVectorCountFunction", [](SimStruct* S) { S->regs.setNumDWork = nullptr; },
                          "the block registered 0 of its 231 work vectors", 7, 7},
        RegistrationFault{"RefusedInputPortCount", [](SimStruct* S) { S->regs.setNumInputPorts = refuseCount; },
                          "the block did not register 7 input and 7 output ports", 7, 0},
        RegistrationFault{"RefusedOutputPortCount", [](SimStruct* S) { S->regs.setNumOutputPorts = refuseCount; },
                          "the block did not register 7 input and 7 output ports", 0, 0}),
    [](const testing::TestParamInfo<RegistrationFault>& info) { return std::string(info.param.name); });

// Faults in a running block's inputs: the guarded accessor reports in a
// fatal-error dialog, the sample leaves outputs and state untouched, and the
// host ends the run and terminates the block.
struct InputFault {
    const char* name;
    std::function<void(SimStruct*)> inject;
    const char* const* textParts;  // every one appears in the dialog text
};

constexpr const char* kPrefix = "Fatal Error: S-function 'Orvane_10kHz_sf' in block 'Orvane_10kHz_sf' is attempting ";
constexpr const char* kNullPort1[] = {kPrefix, "input port '1'", "did not register the ssSetInputPortDirectFeedThrough",
                                      nullptr};
constexpr const char* kNullPort4[] = {kPrefix, "input port '4'", "direct feedthrough flag", nullptr};
constexpr const char* kNullPort7[] = {kPrefix, "input port '7'", "direct feedthrough flag", nullptr};
constexpr const char* kShrunk[] = {kPrefix, "input port '7'", "only 6 input port(s)", "in the range [0..5].\n",
                                   nullptr};
constexpr const char* kNoPorts[] = {kPrefix, "input port '1'", "only 0 input port(s)", "in the range [0..-1].\n",
                                    nullptr};

class InputFaultTest : public testing::TestWithParam<InputFault> {
protected:
    void SetUp() override {
        clearRecordedDialogs();
        setDialogEcho(false);
    }
    void TearDown() override { setDialogEcho(true); }
};

TEST_P(InputFaultTest, TheSampleIsRefusedWithOutputsAndStateUntouched) {
    const InputFault& fault = GetParam();
    auto driver = measurementDriver();
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->start()) << driver->error();
    ModelInputs in;
    ModelOutputs out;
    for (int i = 0; i < 5; ++i) {
        in.time = i * 1e-4;
        ASSERT_TRUE(driver->step(in, out)) << driver->error();
    }
    SimStruct* S = driver->block().simStruct();
    BlockRecord& record = driver->block().record();
    const double sentinel = 12345.0;
    std::memcpy(record.outputBuffer(1), &sentinel, sizeof sentinel);
    const int32_t writeIndex = *static_cast<const int32_t*>(ssGetDWork(S, dw::kFirstWriteIndex));
    fault.inject(S);

    in.time = 5e-4;
    EXPECT_FALSE(driver->step(in, out));
    for (const char* const* part = fault.textParts; *part != nullptr; ++part) {
        EXPECT_NE(driver->error().find(*part), std::string::npos) << "missing '" << *part << "' in " << driver->error();
    }
    EXPECT_EQ(S->modelInfo->fatalReportFlag, 1);
    double magnitude = 0.0;
    std::memcpy(&magnitude, record.outputBuffer(1), sizeof magnitude);
    EXPECT_EQ(magnitude, sentinel) << "outputs untouched";
    EXPECT_EQ(*static_cast<const int32_t*>(ssGetDWork(S, dw::kFirstWriteIndex)), writeIndex) << "delay lines untouched";
    EXPECT_EQ(ssGetUserData(S), nullptr) << "the host terminated the block, which freed its record";
    EXPECT_FALSE(driver->step(in, out)) << "the run has ended";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InputFaultTest,
    testing::Values(InputFault{"NullSignalOfPhaseSamples", [](SimStruct* S) { S->inputPorts[0].signalPtrs = nullptr; },
                               kNullPort1},
                    InputFault{"NullSignalOfMagnitudeCoeffs",
                               [](SimStruct* S) { S->inputPorts[3].signalPtrs = nullptr; }, kNullPort4},
                    InputFault{"NullSignalOfReportMode", [](SimStruct* S) { S->inputPorts[6].signalPtrs = nullptr; },
                               kNullPort7},
                    InputFault{"PortIndexBeyondAShrunkPortCount",
                               [](SimStruct* S) { S->sizes[kSizesNumInputPorts] = 6; }, kShrunk},
                    InputFault{"EveryPortIndexOutOfRange", [](SimStruct* S) { S->sizes[kSizesNumInputPorts] = 0; },
                               kNoPorts}),
    [](const testing::TestParamInfo<InputFault>& info) { return std::string(info.param.name); });

// Either allocation of mdlStart failing, in every build: the stated text,
// nothing initialised after it, the run ended before any sample, and
// terminate frees whichever allocation succeeded.
class AllocationFaultTest : public testing::TestWithParam<const ModelEntry*> {
protected:
    void TearDown() override { setModelAllocFailure(-1); }
};

TEST_P(AllocationFaultTest, EitherFailingAllocationEndsTheRunWithItsText) {
    const ModelEntry& entry = *GetParam();
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE("failing allocation " + std::to_string(failing));
        InProcessDriver driver(entry.installMethods, entry.build->sfunctionName);
        setModelAllocFailure(failing);
        EXPECT_FALSE(driver.start());
        setModelAllocFailure(-1);
        EXPECT_EQ(driver.error(), "memory allocation error in generated S-Function");
        SimStruct* S = driver.record().simStruct();
        EXPECT_EQ(ssGetUserData(S), nullptr);
        EXPECT_EQ(ssGetChecksumVal(S, 0), 0u) << "nothing after the failed allocation ran";
        ModelOutputs out;
        EXPECT_FALSE(driver.step(ModelInputs{}, out));
    }
}

// Found by fuzzing the method road: a host that calls mdlStart twice
// without mdlTerminate in between lost the first block-signal record. Now
// the second start frees it; the sanitizer build fails on any leak here.
TEST_P(AllocationFaultTest, ARepeatedStartKeepsOneRecord) {
    const ModelEntry& entry = *GetParam();
    InProcessDriver driver(entry.installMethods, entry.build->sfunctionName);
    ASSERT_TRUE(driver.start()) << driver.error();
    SimStruct* S = driver.record().simStruct();
    S->methods.mdlStart(S);
    S->methods.mdlStart(S);
    ASSERT_NE(entry.blockSignals(S), nullptr);
    ModelOutputs out;
    EXPECT_TRUE(driver.step(ModelInputs{}, out)) << driver.error();
    driver.finish();
    EXPECT_EQ(ssGetUserData(S), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllBuilds, AllocationFaultTest,
                         testing::Values(&model_10k::kModelEntry, &model_14p4k::kModelEntry, &model_4k::kModelEntry),
                         [](const testing::TestParamInfo<const ModelEntry*>& info) {
                             return std::string(info.param->build->sfunctionName);
                         });

}  // namespace
