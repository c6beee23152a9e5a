// One sample of the whole measurement: the step order inside mdlOutputs.
#include <cstdint>

#include "model/block_signals.h"
#include "model/estimation/estimation_steps.h"
#include "model/model_methods.h"
#include "model/model_record.h"

namespace ORVANE_MODEL_NS {

namespace {

enum InputPort : int {
    kInPhaseSamples = 0,
    kInTime = 1,
    kInReportRate = 2,
    kInMagnitudeCoeffs = 3,
    kInPhaseCoeffs = 4,
    kInNominalFrequency = 5,
    kInReportMode = 6,
    kNumInputs = 7,
};

double realElement(const void* const* pointers, int i) { return *static_cast<const double*>(pointers[i]); }

}  // namespace

void mdlOutputs(SimStruct* S, int tid) {
    (void)tid;
    ModelRecord* record = modelRecordOf(S);
    if (record == nullptr) return;

    // Every input is fetched before anything changes: a port the host cannot
    // provide has been reported, and the sample leaves outputs and state as
    // they were.
    const void* const* ports[kNumInputs];
    for (int p = 0; p < kNumInputs; ++p) {
        ports[p] = ssGetInputPortSignalPtrs(S, p);
        if (ports[p] == nullptr) return;
    }

    // Every field is written before it is read: no need to clear the
    // context first.
    est::StepContext ctx;
    ctx.S = S;
    ctx.sig = &record->signals;
    ctx.vectors = &record->vectors;
    ctx.memos = &record->memos;
    for (int i = 0; i < 3; ++i) {
        ctx.in.phase[i] = realElement(ports[kInPhaseSamples], i);
        ctx.in.magnitudeCoeffs[i] = realElement(ports[kInMagnitudeCoeffs], i);
        ctx.in.phaseCoeffs[i] = realElement(ports[kInPhaseCoeffs], i);
    }
    ctx.in.time = realElement(ports[kInTime], 0);
    ctx.in.reportRate = *static_cast<const int32_t*>(ports[kInReportRate][0]);
    ctx.in.nominalFrequency = realElement(ports[kInNominalFrequency], 0);
    ctx.in.reportMode = static_cast<const unsigned char*>(ports[kInReportMode][0]);

    runFrameTiming(ctx);
    runCorrectionTerms(ctx);
    runHeterodyneCascade(ctx);
    runPhasorAndFrequency(ctx);
    runReportingAndOutputs(ctx);
    runAfterOutputs(ctx);
}

}  // namespace ORVANE_MODEL_NS
