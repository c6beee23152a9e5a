// Registration of the measurement block's shape: one sample time, seven
// input and seven output ports, 231 work vectors, no parameters, and the
// refusal to run as several execution instances.
#include <cstdio>

#include "contract/port_dimensions.h"
#include "model/model_methods.h"
#include "model/ports.h"
#include "sfunction/multi_exec_refusal.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr int kOptions = 0x900;

constexpr int hostDataType(WorkType type) {
    switch (type) {
        case WorkType::int32: return SS_INT32;
        case WorkType::integer: return SS_INTEGER;
        case WorkType::boolean: return SS_BOOLEAN;
        case WorkType::real: break;
    }
    return SS_DOUBLE;
}

constexpr std::size_t kRefusalLength = refusal::messageLength(kBuild.modelName) + 1;
constexpr std::array<char, kRefusalLength> kRefusalMessage = refusal::buildMessage<kRefusalLength>(kBuild.modelName);

void registerWorkVectors(SimStruct* S) {
    for (const WorkVectorGroup& group : kWorkVectorGroups) {
        for (int k = group.first; k <= group.last; ++k) {
            char name[16];
            std::snprintf(name, sizeof name, "DWORK%d", k);
            ssSetDWorkName(S, k, name);
            ssSetDWorkWidth(S, k, group.width == 0 ? kBuild.delayLineLength : group.width);
            if (group.type != WorkType::real) ssSetDWorkDataType(S, k, hostDataType(group.type));
            if (group.discreteState) ssSetDWorkUsedAsDState(S, k, 1);
        }
    }
}

}  // namespace

const char* multiExecRefusalMessage() { return kRefusalMessage.data(); }

void mdlInitializeSizes(SimStruct* S) {
    ssSetNumSampleTimes(S, 1);
    ssSetNumContStates(S, 0);
    ssSetNumNonsampledZCs(S, 0);

    if (!ssSetNumOutputPorts(S, port::kNumOutputs)) return;
    const bool sizesOnly = ssGetSimMode(S) == SS_SIMMODE_SIZES_CALL_ONLY;
    for (int p = 0; p < port::kNumOutputs; ++p) {
        if (!ssSetOutputPortVectorDimension(S, p, port::kOutputShapes[p].width)) return;
        if (!sizesOnly) ssSetOutputPortDataType(S, p, port::kOutputShapes[p].dataType);
        ssSetOutputPortSampleTime(S, p, kBuild.ts);
        ssSetOutputPortOffsetTime(S, p, 0.0);
        ssSetOutputPortOptimOpts(S, p, SS_REUSABLE_AND_LOCAL);
    }

    if (!ssSetNumInputPorts(S, port::kNumInputs)) return;
    for (int p = 0; p < port::kNumInputs; ++p) {
        if (!ssSetInputPortVectorDimension(S, p, port::kInputShapes[p].width)) return;
        if (!sizesOnly) ssSetInputPortDataType(S, p, port::kInputShapes[p].dataType);
        ssSetInputPortDirectFeedThrough(S, p, 1);
        ssSetInputPortSampleTime(S, p, kBuild.ts);
        ssSetInputPortOffsetTime(S, p, 0.0);
        ssSetInputPortOverWritable(S, p, 0);
        ssSetInputPortOptimOpts(S, p, SS_NOT_REUSABLE_AND_GLOBAL);
    }

    ssSetRTWGeneratedSFcn(S, 1);

    if (!ssSetNumDWork(S, kNumWorkVectors)) return;
    registerWorkVectors(S);

    // The host reports a parameter-count mismatch itself.
    ssSetNumSFcnParams(S, 0);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
    if (ssGetErrorStatus(S) != nullptr) return;

    ssSetOptions(S, kOptions);

    ssSupportsMultipleExecInstances(S, false);
    ssRegisterMsgForNotSupportingMultiExecInst(S, multiExecRefusalMessage());
    ssHasStateInsideForEachSS(S, false);
}

void mdlInitializeSampleTimes(SimStruct* S) {
    ssSetSampleTime(S, 0, kBuild.ts);
    ssSetOffsetTime(S, 0, 0.0);
}

}  // namespace ORVANE_MODEL_NS
