#include "castblock/narrow32_block.h"

#include <cstdint>

#include "model/facts/model_facts.h"

namespace narrow32 {

namespace {

// Sizes bit, inherited-rate bits and the option that lets the host call
// mdlOutputs without a start.
constexpr uint32_t kOptions = 0x20080002u;

// Frame settings of a port: inherited from the driving block, or the lowest
// bit of the proposal (0 sample-based, 1 frame-based).
constexpr int kFrameInherited = -1;

}  // namespace

void mdlInitializeSizes(SimStruct* S) {
    // The block takes no parameters; a host that passes some reports the
    // mismatch itself, and nothing is registered.
    ssSetNumSFcnParams(S, 0);
    if (ssGetSFcnParamsCount(S) != 0) return;

    ssSetNumContStates(S, 0);
    ssSetNumDiscStates(S, 0);

    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 1);
    ssSetInputPortDataType(S, 0, SS_DOUBLE);
    ssSetInputPortComplexSignal(S, 0, 0);
    ssStoreInputPortDirectFeedThrough(S, 0, 1);
    ssSetInputPortRequiredContiguous(S, 0, 1);

    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 1);
    ssSetOutputPortDataType(S, 0, SS_INT32);
    ssSetOutputPortComplexSignal(S, 0, 0);

    ssSetNumSampleTimes(S, 1);
    ssSetNumRWork(S, 0);
    ssSetNumIWork(S, 0);
    ssSetNumPWork(S, 0);
    ssSetNumModes(S, 0);
    ssSetNumNonsampledZCs(S, 0);

    ssSetOptions(S, kOptions);
}

void mdlInitializeSampleTimes(SimStruct* S) {
    ssSetSampleTime(S, 0, INHERITED_SAMPLE_TIME);
    ssSetOffsetTime(S, 0, 0.0);
}

void mdlOutputs(SimStruct* S, int tid) {
    (void)tid;
    const auto* in = static_cast<const double*>(ssGetInputPortSignal(S, 0));
    auto* out = static_cast<int32_t*>(ssGetOutputPortSignal(S, 0));
    if (in == nullptr || out == nullptr) return;
    out[0] = facts::truncateToInt32(in[0]);
}

void mdlTerminate(SimStruct* S) { (void)S; }

// The block has one port per direction: the port index is not consulted.
void mdlSetInputPortDataType(SimStruct* S, int port, int dataType) {
    (void)port;
    ssSetInputPortDataType(S, 0, dataType);
}

void mdlSetOutputPortDataType(SimStruct* S, int port, int dataType) {
    (void)port;
    ssSetOutputPortDataType(S, 0, dataType);
}

void mdlSetDefaultPortDataTypes(SimStruct* S) {
    ssSetInputPortDataType(S, 0, SS_DOUBLE);
    ssSetOutputPortDataType(S, 0, SS_DOUBLE);
}

void mdlSetInputPortFrameData(SimStruct* S, int port, int frameData) {
    // A port index the block never registered would write past its ports.
    if (port < 0 || port >= ssGetNumInputPorts(S)) return;
    ssSetInputPortFrameData(S, port, frameData == kFrameInherited ? kFrameInherited : (frameData & 1));
}

}  // namespace narrow32
