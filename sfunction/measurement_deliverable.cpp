// The entry of a measurement deliverable (Orvane_10kHz_sf and its sister
// builds): the frame with the measurement block of the build being compiled.
#include "model/model_methods.h"
#include "sfunction/mex_export.h"
#include "sfunction/sfunction_block.h"
#include "sfunction/sfunction_entry.h"

namespace ORVANE_MODEL_NS {
namespace {

constexpr std::size_t kDescriptionSize = sfunction_text::descriptionSize(kBuild.sfunctionName);
constexpr std::array<char, kDescriptionSize> kDescription =
    sfunction_text::description<kDescriptionSize>(kBuild.sfunctionName);

// Simulink reads these slots after the sizes hand-over. The block has no
// propagation methods: those slots stay as the host left them.
void fillMethodSlots(SimStruct* S) {
    S->methods.mdlInitializeSizes = mdlInitializeSizes;
    S->methods.mdlInitializeSampleTimes = mdlInitializeSampleTimes;
    S->methods.mdlInitializeConditions = mdlInitializeConditions;
    S->methods.mdlStart = mdlStart;
    S->methods.mdlGetTimeOfNextVarHit = variableHitStub;
    S->methods.mdlOutputs = mdlOutputs;
    S->methods.mdlUpdate = mdlUpdate;
    S->methods.mdlZeroCrossings = zeroCrossingStub;
    S->methods.mdlTerminate = mdlTerminate;
}

constexpr SfunctionBlock kMeasurementBlock = {
    kBuild.sfunctionName,
    kDescription.data(),
    mdlInitializeSizes,
    mdlInitializeSampleTimes,
    mdlOutputs,
    mdlTerminate,
    mdlInitializeConditions,
    mdlStart,
    mdlUpdate,
    fillMethodSlots,
    true,
};

}  // namespace
}  // namespace ORVANE_MODEL_NS

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    sfunctionEntry(ORVANE_MODEL_NS::kMeasurementBlock, nlhs, plhs, nrhs, prhs);
}
