// How a host and a block's mexFunction speak on the method road: the flag
// that selects a block method, and the layout version that travels with the
// SimStruct handed over in the sizes call.
#ifndef ORVANE_CONTRACT_METHOD_FLAGS_H
#define ORVANE_CONTRACT_METHOD_FLAGS_H

#include <cstdint>

enum MethodFlag : int {
    kFlagInitializeSampleTimes = 101,
    kFlagInitializeConditions = 102,
    kFlagGetTimeOfNextVarHit = 103,
    kFlagOutputs = 104,
    kFlagUpdate = 105,
    kFlagTerminate = 107,
    kFlagZeroCrossings = 108,
    kFlagSetWorkWidths = 111,
    kFlagCheckParameters = 112,
    kFlagSetInputPortDataType = 113,
    kFlagSetOutputPortDataType = 114,
    kFlagSetInputPortWidth = 115,
    kFlagSetOutputPortWidth = 116,
    kFlagStart = 117,
    kFlagSetInputPortComplexSignal = 120,
    kFlagSetOutputPortComplexSignal = 121,
    kFlagSetInputPortSampleTime = 122,
    kFlagSetOutputPortSampleTime = 123,
    kFlagSetInputPortDimensionInfo = 126,
    kFlagSetOutputPortDimensionInfo = 127,
    kFlagSetInputPortFrameData = 128,
    kFlagSetDefaultPortDimensionInfo = 131,
    kFlagSetDefaultPortDataTypes = 132,
    kFlagSetDefaultPortComplexSignals = 133,
    kFlagInitializePropagationPass = 142,
    kFlagGetSimState = 144,
    kFlagSetSimState = 145,
};

// The SimStruct layout version: the host writes it into the third row of
// the hand-over, and the block into every SimStruct it sizes.
constexpr int32_t kSimStructVersion = 8480229;
constexpr double kSimStructVersionMark = 8480229.0;

#endif  // ORVANE_CONTRACT_METHOD_FLAGS_H
