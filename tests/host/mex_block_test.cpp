// The Simulink stand-in: loading deliverables, the start sequence it drives
// through mexFunction, and how it reports and stops on errors.
#include <string>

#include <gtest/gtest.h>

#include "host/mex_driver.h"
#include "host/mex_call_scope.h"
#include "tests/support/deliverables.h"

namespace {

TEST(DeliverableTest, FilesThatAreNoDeliverableAreRefusedWithTheReason) {
    std::string error;
    EXPECT_EQ(Deliverable::open(buildDirectory() + "/no_such_sf.mexa64", error), nullptr);
    EXPECT_NE(error.find("cannot load deliverable '" + buildDirectory() + "/no_such_sf.mexa64'"), std::string::npos)
        << error;
    EXPECT_EQ(Deliverable::open(buildDirectory() + "/liborvane_host.so", error), nullptr);
    EXPECT_NE(error.find("exports no mexFunction"), std::string::npos) << error;
}

TEST(DeliverableTest, TheSfunctionNameIsTheFileName) {
    std::string error;
    auto deliverable = loadDeliverable("Orvane_14p4kHz_sf", error);
    ASSERT_NE(deliverable, nullptr) << error;
    EXPECT_EQ(deliverable->sfunctionName(), "Orvane_14p4kHz_sf");
}

// After start: sample time (101), checksums (mdlStart, 117) and the 50 Hz
// initial conditions (102) are all in place, and the record is allocated
// with the registered shape.
TEST(MexBlockTest, StartRunsSampleTimesStartAndInitialConditions) {
    const struct {
        const char* name;
        double ts;
        uint32_t firstChecksum;
    } builds[] = {{"Orvane_10kHz_sf", 1e-4, 0xb875ea4eu},
                  {"Orvane_14p4kHz_sf", 6.944444444444444e-05, 0x9cb75a1au},
                  {"Orvane_4kHz_sf", 2.5e-4, 0xecf46a43u}};
    for (const auto& b : builds) {
        std::string error;
        auto deliverable = loadDeliverable(b.name, error);
        ASSERT_NE(deliverable, nullptr) << error;
        MexBlock block(deliverable);
        ASSERT_TRUE(block.start()) << block.error();
        SimStruct* S = block.simStruct();
        EXPECT_EQ(ssGetSampleTime(S, 0), b.ts) << b.name;
        EXPECT_EQ(ssGetChecksumVal(S, 0), b.firstChecksum) << b.name;
        EXPECT_EQ(*static_cast<double*>(ssGetDWork(S, 1)), 50.0) << b.name;
        EXPECT_NE(ssGetUserData(S), nullptr) << b.name;
        block.terminate();
        EXPECT_EQ(ssGetUserData(S), nullptr) << b.name << ": terminate frees the block-signal record";
    }
}

// An error status set during start: the first text is kept, no further
// step method runs, and terminate is still called.
TEST(MexBlockTest, AnErrorInStartStopsTheSequenceButTerminates) {
    std::string error;
    auto deliverable = loadDeliverable("Orvane_10kHz_sf", error);
    ASSERT_NE(deliverable, nullptr) << error;
    MexBlock block(deliverable);
    ASSERT_TRUE(block.handOverSizes()) << block.error();
    ASSERT_TRUE(block.allocate()) << block.error();
    ASSERT_TRUE(block.callMethod(kFlagStart)) << block.error();
    ASSERT_NE(ssGetUserData(block.simStruct()), nullptr);
    // The zero-crossing stub sets the error status like any failing method.
    EXPECT_FALSE(block.callMethod(108));
    EXPECT_FALSE(block.outputs());
    EXPECT_FALSE(block.update());
    block.terminate();
    EXPECT_EQ(ssGetUserData(block.simStruct()), nullptr);
    EXPECT_EQ(block.error(),
              "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a mdlZeroCrossings "
              "routine");
}

TEST(MexBlockTest, ANameMismatchEndsStartBeforeTheMethodRoad) {
    std::string error;
    auto deliverable = loadDeliverable("Orvane_4kHz_sf", error);
    ASSERT_NE(deliverable, nullptr) << error;
    MexBlock block(deliverable, "Renamed_sf");
    EXPECT_FALSE(block.start());
    EXPECT_NE(block.error().find("S-function name mismatch."), std::string::npos) << block.error();
    EXPECT_EQ(block.simStruct()->sampleTimes[0], 0.0) << "no method ran";
}

TEST(MexDriverTest, StepBeforeStartIsRefused) {
    std::string error;
    auto driver = MexDriver::open(deliverablePath("Orvane_10kHz_sf"), error);
    ASSERT_NE(driver, nullptr) << error;
    ModelOutputs out;
    EXPECT_FALSE(driver->step(ModelInputs{}, out));
    EXPECT_EQ(driver->error(), "the block is not running");
}

// A deliverable that is not a measurement block cannot be run as one.
TEST(MexDriverTest, TheCastBlockIsRefusedAsAMeasurementBlock) {
    std::string error;
    auto driver = MexDriver::open(deliverablePath("Narrow32_sf"), error);
    ASSERT_NE(driver, nullptr) << error;
    EXPECT_FALSE(driver->start());
    EXPECT_EQ(driver->error(), "the block did not register 7 input and 7 output ports");
}

}  // namespace
