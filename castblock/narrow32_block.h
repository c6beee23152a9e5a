// The cast block Narrow32_sf: one double in, one int32 out, converted by
// truncation toward zero with no saturation. It keeps no state.
#ifndef ORVANE_CASTBLOCK_NARROW32_BLOCK_H
#define ORVANE_CASTBLOCK_NARROW32_BLOCK_H

#include "contract/simstruc.h"

namespace narrow32 {

void mdlInitializeSizes(SimStruct* S);
void mdlInitializeSampleTimes(SimStruct* S);
void mdlOutputs(SimStruct* S, int tid);
void mdlTerminate(SimStruct* S);
void mdlSetInputPortDataType(SimStruct* S, int port, int dataType);
void mdlSetOutputPortDataType(SimStruct* S, int port, int dataType);
void mdlSetDefaultPortDataTypes(SimStruct* S);
void mdlSetInputPortFrameData(SimStruct* S, int port, int frameData);

}  // namespace narrow32

#endif  // ORVANE_CASTBLOCK_NARROW32_BLOCK_H
