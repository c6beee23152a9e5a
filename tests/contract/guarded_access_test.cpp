// Guarded port access and the fatal-error dialog: the exact texts, and what
// a measurement block does when an input cannot be read (one report, the
// sample left untouched, the host stops the run and still terminates).
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/mex_driver.h"
#include "host/mex_call_scope.h"
#include "model/model_alloc.h"
#include "tests/support/deliverables.h"
#include "tests/support/model_harness.h"

namespace {

const std::string kAccessHead =
    "S-function 'Orvane_10kHz_sf' in block 'Orvane_10kHz_sf' is attempting to access the signal from input port ";

class GuardedAccessTest : public testing::Test {
protected:
    void SetUp() override {
        setDialogEcho(false);
        clearRecordedDialogs();
        ASSERT_TRUE(harness_.start()) << harness_.driver().error();
    }
    void TearDown() override { setDialogEcho(true); }

    // The one dialog raised since SetUp, with its fatal-report flag.
    std::string onlyDialog() {
        EXPECT_EQ(recordedDialogs().size(), 1u);
        if (recordedDialogs().empty()) return {};
        const ErrorDialog& d = recordedDialogs().back();
        EXPECT_EQ(d.title, "Fatal Error");
        EXPECT_EQ(d.mode, "modal");
        EXPECT_EQ(ssGetModelInfo(harness_.S())->fatalReportFlag, 1);
        return d.text;
    }

    ModelHarness harness_{model_10k::kModelEntry};
};

TEST_F(GuardedAccessTest, PortOutOfRangeNamesThePortCountingFromOne) {
    const struct {
        int port;
        const char* shown;
    } cases[] = {{7, "'8'"}, {-1, "'0'"}};
    for (const auto& c : cases) {
        clearRecordedDialogs();
        EXPECT_EQ(ssGetInputPortSignalPtrs(harness_.S(), c.port), nullptr);
        EXPECT_EQ(onlyDialog(),
                  kAccessHead + c.shown +
                      " in one its methods. However, the S-function's mdlInitializeSizes routine has configured the "
                      "block to have only 7 input port(s). The incorrect access will cause a segmentation violation. "
                      "Please verify that all calls to ssGetInputPort[Real]Signal[Ptrs]() are using port indices in "
                      "the range [0..6].\n");
    }
}

TEST_F(GuardedAccessTest, MissingSignalGivesTheFeedthroughAdvice) {
    harness_.S()->inputPorts[2].signalPtrs = nullptr;
    EXPECT_EQ(ssGetInputPortSignalPtrs(harness_.S(), 2), nullptr);
    EXPECT_EQ(onlyDialog(),
              kAccessHead +
                  "'3' in one its methods. However, the S-function's mdlInitializeSizes routine did not register the "
                  "ssSetInputPortDirectFeedThrough macro or the direct feedthrough flag has been set to zero. This "
                  "will cause a segmentation violation. Please verify that the ssSetInputPortDirectFeedThrough is "
                  "declared in mdlInitializeSizes and the direct feedthrough flag is set to one when accessing the "
                  "input port signals in the mdlOutputs and/or mdlGetTimeOfNextVarHit method(s).");
}

TEST_F(GuardedAccessTest, FeedthroughOnAnInvalidPortJoinsTwoSentences) {
    ssSetInputPortDirectFeedThrough(harness_.S(), 7, 1);
    EXPECT_EQ(onlyDialog(),
              "S-function 'Orvane_10kHz_sf' in block 'Orvane_10kHz_sf' is setting or clearing the direct feedthrough "
              "flag for port 8. However, the S-function's mdlInitializeSizes routine has configured the block to "
              "have only 7 input port(s). Setting of clearing the direct feedthrough flag for an invalid port index "
              "will cause a segmentation violation. Please verify that all calls to ssSetInputPortDirectFeedThrough "
              "are using port indices in the range [0..6].\n");
    clearRecordedDialogs();
    ssSetInputPortDirectFeedThrough(harness_.S(), 6, 0);
    EXPECT_TRUE(recordedDialogs().empty());
    EXPECT_EQ(harness_.S()->inputPorts[6].directFeedThrough, 0);
}

// Through the deliverable: the sample whose input cannot be read changes
// nothing, the dialog's text ends the run, and the block is terminated.
TEST(GuardedAccessThroughMexTest, AnUnreadableInputStopsTheRunWithOutputsUntouched) {
    setDialogEcho(false);
    std::string error;
    auto driver = MexDriver::open(deliverablePath("Orvane_10kHz_sf"), error);
    ASSERT_NE(driver, nullptr) << error;
    ASSERT_TRUE(driver->start()) << driver->error();
    ModelOutputs out;
    ASSERT_TRUE(driver->step(ModelInputs{}, out)) << driver->error();

    BlockRecord& record = driver->block().record();
    SimStruct* S = record.simStruct();
    const double previousTimestamp = *static_cast<double*>(ssGetDWork(S, 0));
    double* timestampOut = static_cast<double*>(record.outputBuffer(0));
    *timestampOut = -7.0;
    S->inputPorts[4].signalPtrs = nullptr;

    ModelInputs next;
    next.time = 0.0001;
    EXPECT_FALSE(driver->step(next, out));
    EXPECT_EQ(driver->error().rfind("Fatal Error: S-function 'Orvane_10kHz_sf' in block 'Orvane_10kHz_sf' is "
                                    "attempting to access the signal from input port '5'",
                                    0),
              0u)
        << driver->error();
    EXPECT_EQ(*timestampOut, -7.0) << "no output written";
    EXPECT_EQ(*static_cast<double*>(ssGetDWork(S, 0)), previousTimestamp) << "no update after the failure";
    EXPECT_EQ(ssGetUserData(S), nullptr) << "terminated, block-signal record freed";
    EXPECT_FALSE(driver->step(next, out)) << "no further steps";
    setDialogEcho(true);
}

// A start whose allocation failed leaves no block-signal record; the step
// methods then return at once.
TEST(FailedStartTest, StepMethodsAfterAFailedStartTouchNothing) {
    for (int failing = 0; failing < 2; ++failing) {
        ModelHarness h(model_10k::kModelEntry);
        setModelAllocFailure(failing);
        EXPECT_FALSE(h.start());
        setModelAllocFailure(-1);
        SimStruct* S = h.S();
        S->errorStatus = nullptr;
        double* timestampOut = static_cast<double*>(h.driver().record().outputBuffer(0));
        *timestampOut = 5.0;
        S->methods.mdlOutputs(S, 0);
        S->methods.mdlUpdate(S, 0);
        EXPECT_EQ(*timestampOut, 5.0);
        EXPECT_EQ(S->errorStatus, nullptr);
    }
}

}  // namespace
