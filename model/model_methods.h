// The measurement block's methods, as the host calls them, for the build
// being compiled (its namespace comes from builds/selected_build.h), and the
// block's description for the S-function frame.
#ifndef ORVANE_MODEL_MODEL_METHODS_H
#define ORVANE_MODEL_MODEL_METHODS_H

#include "builds/selected_build.h"
#include "contract/simstruc.h"
#include "model/record/block_signals.h"
#include "sfunction/sfunction_block.h"

namespace ORVANE_MODEL_NS {

void mdlInitializeSizes(SimStruct* S);
void mdlInitializeSampleTimes(SimStruct* S);
void mdlStart(SimStruct* S);
void mdlInitializeConditions(SimStruct* S);
void mdlOutputs(SimStruct* S, int tid);
void mdlUpdate(SimStruct* S, int tid);
void mdlTerminate(SimStruct* S);

// The block-signal record, or null before mdlStart / after mdlTerminate.
BlockSignals* modelBlockSignals(SimStruct* S);
// The registration's multi-instance refusal message.
const char* multiExecRefusalMessage();

// The block as the frame carries it: its name, its methods (it has no
// propagation methods: those slots stay as the host left them).
extern const SfunctionBlock kMeasurementBlock;

}  // namespace ORVANE_MODEL_NS

#endif  // ORVANE_MODEL_MODEL_METHODS_H
