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

constexpr SfunctionBlock kCastBlock = {
    .name = kName,
    .description = kDescription.data(),
    .initializeSizes = narrow32::mdlInitializeSizes,
    .initializeSampleTimes = narrow32::mdlInitializeSampleTimes,
    .outputs = narrow32::mdlOutputs,
    .terminate = narrow32::mdlTerminate,
    .initializeConditions = nullptr,
    .start = nullptr,
    .update = nullptr,
    .setInputPortDataType = narrow32::mdlSetInputPortDataType,
    .setOutputPortDataType = narrow32::mdlSetOutputPortDataType,
    .setDefaultPortDataTypes = narrow32::mdlSetDefaultPortDataTypes,
    .setInputPortFrameData = narrow32::mdlSetInputPortFrameData,
    .announcesSizesCallFromBlock = false,
};

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    sfunctionEntry(kCastBlock, nlhs, plhs, nrhs, prhs);
}
