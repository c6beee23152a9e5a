// One sample of the whole measurement: the input ports read, the estimation
// steps in their order, and the output ports written.
#include <cstdint>

#include "model/estimation/estimation_steps.h"
#include "model/model_methods.h"
#include "model/model_record.h"
#include "model/ports.h"

namespace ORVANE_MODEL_NS {

namespace {

double realElement(const void* const* pointers, int i) { return *static_cast<const double*>(pointers[i]); }

template <typename T>
void writePort(SimStruct* S, port::Output p, T value) {
    *static_cast<T*>(ssGetOutputPortSignal(S, p)) = value;
}

// The estimates at the last report instant (report mode) or at this
// sample's timestamp.
void writeOutputs(SimStruct* S, const est::StepContext& ctx, bool reportMode) {
    const double* B = ctx.sig->B;
    if (reportMode) {
        writePort(S, port::kTimestamp, B[sig::kReportTimestamp]);
        writePort(S, port::kMagnitude, B[sig::kReportMagnitude]);
        writePort(S, port::kFrequency, B[sig::kReportFrequency]);
        writePort(S, port::kRocof, B[sig::kReportRocof]);
        writePort(S, port::kAngle, B[sig::kReportAngle]);
    } else {
        writePort(S, port::kTimestamp, B[sig::kTimestamp]);
        writePort(S, port::kMagnitude, B[sig::kMagnitude]);
        writePort(S, port::kFrequency, B[sig::kReportedFrequency]);
        writePort(S, port::kRocof, B[sig::kRocof]);
        writePort(S, port::kAngle, B[sig::kAngle]);
    }
    writePort(S, port::kReportStrobe, ctx.strobe);
    writePort(S, port::kActiveReportRate, ctx.sig->BI[kChannelEntries[ctx.active].reportRate]);
}

}  // namespace

void mdlOutputs(SimStruct* S, int tid) {
    (void)tid;
    ModelRecord* record = modelRecordOf(S);
    if (record == nullptr) return;

    // Every input is fetched before anything changes: a port the host cannot
    // provide has been reported, and the sample leaves outputs and state as
    // they were.
    const void* const* ports[port::kNumInputs];
    for (int p = 0; p < port::kNumInputs; ++p) {
        ports[p] = ssGetInputPortSignalPtrs(S, p);
        if (ports[p] == nullptr) return;
    }

    // Every field is written before it is read: no need to clear the
    // context first.
    est::StepContext ctx;
    ctx.sig = &record->signals;
    ctx.vectors = &record->vectors;
    ctx.memos = &record->memos;
    for (int i = 0; i < 3; ++i) {
        ctx.in.phase[i] = realElement(ports[port::kPhaseSamples], i);
        ctx.in.magnitudeCoeffs[i] = realElement(ports[port::kMagnitudeCoeffs], i);
        ctx.in.phaseCoeffs[i] = realElement(ports[port::kPhaseCoeffs], i);
    }
    ctx.in.time = realElement(ports[port::kTime], 0);
    ctx.in.reportRate = *static_cast<const int32_t*>(ports[port::kReportRate][0]);
    ctx.in.nominalFrequency = realElement(ports[port::kNominalFrequency], 0);
    // A boolean port holds one byte; any nonzero byte is true.
    const bool reportMode = *static_cast<const unsigned char*>(ports[port::kReportMode][0]) != 0;

    runFrameTiming(ctx);
    runCorrectionTerms(ctx);
    runHeterodyneCascade(ctx);
    runPositiveSequence(ctx);
    runFrequency(ctx);
    runReporting(ctx);
    writeOutputs(S, ctx, reportMode);
    runSelectorAfterOutputs(ctx);
    runTrackedFrequency(ctx);
}

}  // namespace ORVANE_MODEL_NS
