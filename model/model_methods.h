// The measurement block's methods, as the host calls them, for the build
// being compiled (its namespace comes from builds/selected_build.h).
#ifndef ORVANE_MODEL_MODEL_METHODS_H
#define ORVANE_MODEL_MODEL_METHODS_H

#include "builds/selected_build.h"
#include "host/simstruc.h"

namespace ORVANE_MODEL_NS {

void mdlInitializeSizes(SimStruct* S);
void mdlInitializeSampleTimes(SimStruct* S);
void mdlStart(SimStruct* S);
void mdlInitializeConditions(SimStruct* S);
void mdlOutputs(SimStruct* S, int tid);
void mdlUpdate(SimStruct* S, int tid);
void mdlTerminate(SimStruct* S);

}  // namespace ORVANE_MODEL_NS

#endif  // ORVANE_MODEL_MODEL_METHODS_H
