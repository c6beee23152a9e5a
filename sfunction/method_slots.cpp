#include "sfunction/sfunction_block.h"

namespace {

template <typename Method>
void fillIfPresent(Method& slot, Method method) {
    if (method != nullptr) slot = method;
}

}  // namespace

void fillMethodSlots(const SfunctionBlock& block, SimStruct* S) {
    SsMethods& slots = S->methods;
    slots.mdlInitializeSizes = block.initializeSizes;
    slots.mdlInitializeSampleTimes = block.initializeSampleTimes;
    slots.mdlOutputs = block.outputs;
    slots.mdlTerminate = block.terminate;
    fillIfPresent(slots.mdlInitializeConditions, block.initializeConditions);
    fillIfPresent(slots.mdlStart, block.start);
    fillIfPresent(slots.mdlUpdate, block.update);
    fillIfPresent(slots.mdlSetInputPortDataType, block.setInputPortDataType);
    fillIfPresent(slots.mdlSetOutputPortDataType, block.setOutputPortDataType);
    fillIfPresent(slots.mdlSetDefaultPortDataTypes, block.setDefaultPortDataTypes);
    fillIfPresent(slots.mdlSetInputPortFrameData, block.setInputPortFrameData);
    slots.mdlGetTimeOfNextVarHit = variableHitStub;
    slots.mdlZeroCrossings = zeroCrossingStub;
}

void variableHitStub(SimStruct* S) {
    ssSetErrorStatus(S,
                     "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
                     "mdlGetTimeOfNextVarHit routine");
}

void zeroCrossingStub(SimStruct* S) {
    ssSetErrorStatus(S,
                     "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a "
                     "mdlZeroCrossings routine");
}
