// Registration of the measurement block's shape: one sample time, seven
// input and seven output ports, 231 work vectors, no parameters, and the
// refusal to run as several execution instances.
#include <cstdio>

#include "model/model_methods.h"
#include "model/work_vectors.h"
#include "sfunction/multi_exec_refusal.h"
#include "sfunction/port_dimensions.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr int kNumPorts = 7;
constexpr int kOptions = 0x900;

struct PortShape {
    int width;
    int dataType;
};

// PhaseSamples, Time, ReportRate, MagnitudeCoeffs, PhaseCoeffs,
// NominalFrequency, ReportMode.
constexpr PortShape kInputPorts[kNumPorts] = {
    {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_INT32}, {3, SS_DOUBLE}, {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN},
};
// Timestamp, Magnitude, Angle, Frequency, Rocof, ReportStrobe,
// ActiveReportRate.
constexpr PortShape kOutputPorts[kNumPorts] = {
    {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN}, {1, SS_INT32},
};

constexpr std::size_t kRefusalLength = refusal::messageLength(kBuild.modelName) + 1;
constexpr std::array<char, kRefusalLength> kRefusalMessage = refusal::buildMessage<kRefusalLength>(kBuild.modelName);

void registerWorkVectors(SimStruct* S) {
    for (const WorkVectorGroup& group : kWorkVectorGroups) {
        for (int k = group.first; k <= group.last; ++k) {
            char name[16];
            std::snprintf(name, sizeof name, "DWORK%d", k);
            ssSetDWorkName(S, k, name);
            ssSetDWorkWidth(S, k, group.width == 0 ? kBuild.delayLineLength : group.width);
            if (group.dataType != SS_DOUBLE) ssSetDWorkDataType(S, k, group.dataType);
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

    if (!ssSetNumOutputPorts(S, kNumPorts)) return;
    const bool sizesOnly = ssGetSimMode(S) == SS_SIMMODE_SIZES_CALL_ONLY;
    for (int p = 0; p < kNumPorts; ++p) {
        if (!ssSetOutputPortVectorDimension(S, p, kOutputPorts[p].width)) return;
        if (!sizesOnly) ssSetOutputPortDataType(S, p, kOutputPorts[p].dataType);
        ssSetOutputPortSampleTime(S, p, kBuild.ts);
        ssSetOutputPortOffsetTime(S, p, 0.0);
        ssSetOutputPortOptimOpts(S, p, SS_REUSABLE_AND_LOCAL);
    }

    if (!ssSetNumInputPorts(S, kNumPorts)) return;
    for (int p = 0; p < kNumPorts; ++p) {
        if (!ssSetInputPortVectorDimension(S, p, kInputPorts[p].width)) return;
        if (!sizesOnly) ssSetInputPortDataType(S, p, kInputPorts[p].dataType);
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
