// The method road: Simulink calls mexFunction with a negative left-hand
// count, the SimStruct in plhs[1] and the method flag in prhs[3]. Every
// failure here is reported through the error status with a static text; the
// frame never stops the call early and keeps no state.
#include "contract/method_flags.h"
#include "contract/mex_api.h"
#include "model/facts/model_facts.h"
#include "sfunction/sfunction_entry.h"

namespace {

constexpr const char* kInvalidFlag = "Invalid flag encountered in simulink";

// The posted port-index int doubles as the constant-task marker for
// mdlOutputs.
constexpr int kConstantTaskId = -2;

bool dimsMethodsFlag(const SimStruct* S) { return (S->sizes[kSizesFlags] & kSizesFlagDimsMethods) != 0; }

// Calls a slot of S that takes (S) or reports the slot as empty.
void callVoidSlot(SimStruct* S, mdlVoidFcn slot, const char* emptyMessage) {
    if (slot == nullptr) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    slot(S);
}

// Calls a slot of S that takes (S, posted port index, posted value).
void callPortIntSlot(SimStruct* S, mdlPortIntFcn slot, const char* emptyMessage) {
    if (slot == nullptr) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    slot(S, S->posted.portIndex, S->posted.proposedInt);
}

void callPortTimeSlot(SimStruct* S, mdlPortTimeFcn slot, const char* emptyMessage) {
    if (slot == nullptr) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    slot(S, S->posted.portIndex, S->posted.proposedSampleTime, S->posted.proposedOffsetTime);
}

// The width methods share their slot with the dimension-info methods; the
// dimensions-method flag says which kind the slot holds, and a call of the
// other kind is unexpected whatever the slot holds.
void callWidthSlot(SimStruct* S, const SsPortSizeSlot& slot, const char* emptyMessage) {
    if (dimsMethodsFlag(S)) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    callPortIntSlot(S, slot.width, emptyMessage);
}

void callDimsSlot(SimStruct* S, const SsPortSizeSlot& slot, const char* emptyMessage) {
    if (!dimsMethodsFlag(S) || slot.dims == nullptr) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    slot.dims(S, S->posted.portIndex, S->posted.proposedDims);
}

// An optional lifecycle method runs when the block has it and the host's
// slot for it is filled; the frame calls its own function, not the slot.
void callOwnIfSlotFilled(SimStruct* S, bool slotFilled, mdlVoidFcn own, const char* emptyMessage) {
    if (!slotFilled) {
        ssSetErrorStatus(S, emptyMessage);
        return;
    }
    own(S);
}

// The flag as an int, truncated toward zero (104.9 selects 104). A value no
// int can hold (NaN, infinities, beyond the int32 range) selects no method.
int methodFlag(int nrhs, const mxArray* prhs[]) {
    if (nrhs < 4 || prhs == nullptr || prhs[3] == nullptr) return 0;
    const double* value = mxGetPr(prhs[3]);
    if (value == nullptr || !facts::truncatesIntoInt32(*value)) return 0;
    return static_cast<int>(*value);
}

}  // namespace

void dispatchMethod(const SfunctionBlock& block, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    // The host hands the SimStruct itself in place of an array.
    if (plhs == nullptr || plhs[1] == nullptr) return;
    SimStruct* S = reinterpret_cast<SimStruct*>(plhs[1]);
    SsMethods& slots = S->methods;

    switch (methodFlag(nrhs, prhs)) {
        case kFlagInitializeSampleTimes: block.initializeSampleTimes(S); return;
        case kFlagInitializeConditions:
            if (block.initializeConditions == nullptr) break;
            callOwnIfSlotFilled(S, slots.mdlInitializeConditions != nullptr, block.initializeConditions,
                                "Unexpected call to mdlInitializeConditions");
            return;
        case kFlagGetTimeOfNextVarHit: variableHitStub(S); return;
        case kFlagOutputs: block.outputs(S, S->posted.portIndex == kConstantTaskId ? kConstantTaskId : 0); return;
        case kFlagUpdate:
            if (block.update == nullptr) break;
            if (slots.mdlUpdate == nullptr) {
                ssSetErrorStatus(S, "Unexpected call to mdlUpdate");
                return;
            }
            block.update(S, 0);
            return;
        case kFlagTerminate: block.terminate(S); return;
        case kFlagZeroCrossings: zeroCrossingStub(S); return;
        case kFlagSetWorkWidths: callVoidSlot(S, slots.mdlSetWorkWidths, "Unexpected call to mdlSetWorkWidths"); return;
        case kFlagCheckParameters: callVoidSlot(S, slots.mdlCheckParameters, "Unexpected call to mdlCheckParameters"); return;
        case kFlagSetInputPortDataType:
            callPortIntSlot(S, slots.mdlSetInputPortDataType, "Unexpected call to mdlSetInputPortDataType");
            return;
        case kFlagSetOutputPortDataType:
            callPortIntSlot(S, slots.mdlSetOutputPortDataType, "Unexpected call to mdlSetOutputPortDataType");
            return;
        case kFlagSetInputPortWidth: callWidthSlot(S, slots.inputPortSize, "Unexpected call to mdlSetInputPortWidth"); return;
        case kFlagSetOutputPortWidth: callWidthSlot(S, slots.outputPortSize, "Unexpected call to mdlSetOutputPortWidth"); return;
        case kFlagStart:
            if (block.start == nullptr) break;
            callOwnIfSlotFilled(S, slots.mdlStart != nullptr, block.start, "Unexpected call to mdlStart");
            return;
        case kFlagSetInputPortComplexSignal:
            callPortIntSlot(S, slots.mdlSetInputPortComplexSignal, "Unexpected call to mdlSetInputPortComplexSignal");
            return;
        case kFlagSetOutputPortComplexSignal:
            callPortIntSlot(S, slots.mdlSetOutputPortComplexSignal,
                            "Unexpected call to mdlSetOutputPortComplexSignal");
            return;
        case kFlagSetInputPortSampleTime:
            callPortTimeSlot(S, slots.mdlSetInputPortSampleTime, "Unexpected call to mdlSetInputPortSampleTime");
            return;
        case kFlagSetOutputPortSampleTime:
            callPortTimeSlot(S, slots.mdlSetOutputPortSampleTime, "Unexpected call to mdlSetOutputPortSampleTime");
            return;
        case kFlagSetInputPortDimensionInfo: callDimsSlot(S, slots.inputPortSize, "Unexpected call to mdlSetInputPortDimensionInfo"); return;
        case kFlagSetOutputPortDimensionInfo: callDimsSlot(S, slots.outputPortSize, "Unexpected call to mdlSetOutputPortDimensionInfo"); return;
        case kFlagSetInputPortFrameData:
            callPortIntSlot(S, slots.mdlSetInputPortFrameData, "Unexpected call to mdlSetInputPortFrameData");
            return;
        case kFlagSetDefaultPortDimensionInfo:
            callVoidSlot(S, slots.mdlSetDefaultPortDimensionInfo, "Unexpected call to mdlSetDefaultPortDimensionInfo");
            return;
        case kFlagSetDefaultPortDataTypes:
            callVoidSlot(S, slots.mdlSetDefaultPortDataTypes, "Unexpected call to mdlSetDefaultPortDataTypes");
            return;
        case kFlagSetDefaultPortComplexSignals:
            callVoidSlot(S, slots.mdlSetDefaultPortComplexSignals,
                         "Unexpected call to mdlSetDefaultPortComplexSignals");
            return;
        case kFlagInitializePropagationPass:
            if (slots.mdlInitializePropagationPass_ == nullptr) {
                ssSetErrorStatus(S, "Unexpected call to mdlInitializePropagationPass");
                return;
            }
            slots.mdlInitializePropagationPass_(S, S->posted.portIndex, 0);
            return;
        case kFlagGetSimState: ssSetErrorStatus(S, "Unexpected call to mdlGetSimState (MDL_SIM_STATE not defined)"); return;
        case kFlagSetSimState: ssSetErrorStatus(S, "Unexpected call to mdlSetSimState (MDL_SIM_STATE not defined)"); return;
        default: break;
    }
    ssSetErrorStatus(S, kInvalidFlag);
}
