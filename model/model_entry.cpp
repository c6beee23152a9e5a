#include "model/model_entry.h"

#include "model/model_methods.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr std::size_t kDescriptionSize = sfunction_text::descriptionSize(kBuild.sfunctionName);
constexpr std::array<char, kDescriptionSize> kDescription =
    sfunction_text::description<kDescriptionSize>(kBuild.sfunctionName);

void installMethods(SimStruct* S) { fillMethodSlots(kMeasurementBlock, S); }

}  // namespace

const SfunctionBlock kMeasurementBlock = {
    .name = kBuild.sfunctionName,
    .description = kDescription.data(),
    .initializeSizes = mdlInitializeSizes,
    .initializeSampleTimes = mdlInitializeSampleTimes,
    .outputs = mdlOutputs,
    .terminate = mdlTerminate,
    .initializeConditions = mdlInitializeConditions,
    .start = mdlStart,
    .update = mdlUpdate,
    .setInputPortDataType = nullptr,
    .setOutputPortDataType = nullptr,
    .setDefaultPortDataTypes = nullptr,
    .setInputPortFrameData = nullptr,
    .announcesSizesCallFromBlock = true,
};

const ModelEntry kModelEntry = {&kBuild, installMethods, modelBlockSignals, multiExecRefusalMessage};

}  // namespace ORVANE_MODEL_NS
