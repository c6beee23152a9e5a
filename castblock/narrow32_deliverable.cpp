// The entry of the Narrow32_sf deliverable: the shared frame with the cast
// block. The block has no start, initial-condition or update method, so
// those flags are invalid here, and it fills its four propagation slots on
// the hand-over.
#include "castblock/narrow32_block.h"
#include "sfunction/mex_export.h"
#include "sfunction/sfunction_block.h"
#include "sfunction/sfunction_entry.h"

namespace {

constexpr const char* kName = "Narrow32_sf";
constexpr std::size_t kDescriptionSize = sfunction_text::descriptionSize(kName);
constexpr std::array<char, kDescriptionSize> kDescription = sfunction_text::description<kDescriptionSize>(kName);

void fillMethodSlots(SimStruct* S) {
    S->methods.mdlInitializeSizes = narrow32::mdlInitializeSizes;
    S->methods.mdlInitializeSampleTimes = narrow32::mdlInitializeSampleTimes;
    S->methods.mdlOutputs = narrow32::mdlOutputs;
    S->methods.mdlTerminate = narrow32::mdlTerminate;
    S->methods.mdlSetInputPortDataType = narrow32::mdlSetInputPortDataType;
    S->methods.mdlSetOutputPortDataType = narrow32::mdlSetOutputPortDataType;
    S->methods.mdlSetDefaultPortDataTypes = narrow32::mdlSetDefaultPortDataTypes;
    S->methods.mdlSetInputPortFrameData = narrow32::mdlSetInputPortFrameData;
    S->methods.mdlGetTimeOfNextVarHit = variableHitStub;
    S->methods.mdlZeroCrossings = zeroCrossingStub;
}

constexpr SfunctionBlock kCastBlock = {
    kName,
    kDescription.data(),
    narrow32::mdlInitializeSizes,
    narrow32::mdlInitializeSampleTimes,
    narrow32::mdlOutputs,
    narrow32::mdlTerminate,
    nullptr,  // no mdlInitializeConditions
    nullptr,  // no mdlStart
    nullptr,  // no mdlUpdate
    fillMethodSlots,
    false,
};

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    sfunctionEntry(kCastBlock, nlhs, plhs, nrhs, prhs);
}
