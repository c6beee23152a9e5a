#include "model/model_entry.h"

#include "model/model_methods.h"

namespace ORVANE_MODEL_NS {

BlockSignals* modelBlockSignals(SimStruct* S);
const char* multiExecRefusalMessage();

namespace {

void installMethods(SimStruct* S) {
    S->methods.mdlInitializeSizes = mdlInitializeSizes;
    S->methods.mdlInitializeSampleTimes = mdlInitializeSampleTimes;
    S->methods.mdlInitializeConditions = mdlInitializeConditions;
    S->methods.mdlStart = mdlStart;
    S->methods.mdlOutputs = mdlOutputs;
    S->methods.mdlUpdate = mdlUpdate;
    S->methods.mdlTerminate = mdlTerminate;
}

}  // namespace

const ModelEntry kModelEntry = {&kBuild, installMethods, modelBlockSignals, multiExecRefusalMessage};

}  // namespace ORVANE_MODEL_NS
