// Start, initial conditions, update and terminate of the measurement block:
// who creates, clears, copies and frees its state.
#include <cstdint>

#include "model/block_signals.h"
#include "model/model_alloc.h"
#include "model/model_methods.h"
#include "model/estimation/non_finite.h"
#include "model/work_vectors.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr const char* kAllocationError = "memory allocation error in generated S-Function";

BlockSignals* blockSignalsOf(SimStruct* S) {
    auto* holder = static_cast<SignalHolder*>(ssGetUserData(S));
    return holder == nullptr ? nullptr : static_cast<BlockSignals*>(holder->slots[0]);
}

void setReal(SimStruct* S, int k, double value) { *dworkReal(S, k) = value; }

// Frees the block-signal record and its holder, whichever exist, and clears
// the host's pointer to them.
void releaseBlockSignals(SimStruct* S) {
    auto* holder = static_cast<SignalHolder*>(ssGetUserData(S));
    if (holder == nullptr) return;
    if (holder->slots[0] != nullptr) {
        modelFree(holder->slots[0]);
        holder->slots[0] = nullptr;
    }
    modelFree(holder);
    ssSetUserData(S, nullptr);
}

}  // namespace

BlockSignals* modelBlockSignals(SimStruct* S) { return blockSignalsOf(S); }

void mdlStart(SimStruct* S) {
    initNonFinite(sizeof(double));
    // A host that starts the block again without terminating it would
    // otherwise lose the record of the earlier start.
    releaseBlockSignals(S);

    auto* holder = static_cast<SignalHolder*>(modelCalloc(1, sizeof(SignalHolder)));
    if (holder == nullptr) {
        ssSetErrorStatus(S, kAllocationError);
        return;
    }
    ssSetUserData(S, holder);
    // calloc gives 0.0, 0 and false throughout.
    auto* signals = static_cast<BlockSignals*>(modelCalloc(1, sizeof(BlockSignals)));
    if (signals == nullptr) {
        ssSetErrorStatus(S, kAllocationError);
        return;
    }
    holder->slots[0] = signals;

    for (int i = 0; i < 4; ++i) ssSetChecksumVal(S, i, kBuild.checksums[i]);
    if (ssGetErrorStatus(S) != nullptr) return;

    for (int k = dw::kFirstDelayLine; k <= dw::kLastDelayLine; ++k) {
        double* line = dworkReal(S, k);
        for (int32_t i = 0; i < kBuild.delayLineLength; ++i) line[i] = 0.0;
    }
    for (int k = dw::kFirstWriteIndex; k <= dw::kLastWriteIndex; ++k) *dworkInt(S, k) = 0;
    for (int k = dw::kFirstPulseCounter; k <= dw::kLastPulseCounter; ++k) *dworkInt(S, k) = 0;
}

void mdlInitializeConditions(SimStruct* S) {
    double* prevPerSample = dworkReal(S, dw::kPrevPerSample);
    double* heldReport = dworkReal(S, dw::kHeldReport);
    for (int i = 0; i < 4; ++i) {
        prevPerSample[i] = 0.0;
        heldReport[i] = 0.0;
    }
    // Single-value doubles DWORK1..DWORK89 (DWORK74 is four wide, above):
    // zero unless listed here.
    for (int k = 1; k <= 89; ++k) {
        if (k != dw::kHeldReport) setReal(S, k, 0.0);
    }
    setReal(S, dw::kTrackedForLatch, 50.0);
    setReal(S, dw::kTuningFrequencyCh1, 50.0);
    setReal(S, dw::kTuningFrequencyCh2, 50.0);
    setReal(S, dw::kPrevActiveRawFrequency, 50.0);
    setReal(S, dw::kNominalFrequencyCh1, 50.0);
    setReal(S, dw::kNominalFrequencyCh2, 50.0);
    setReal(S, kSmootherVectorsCh1.prevStageFactor, 1.0);
    setReal(S, kSmootherVectorsCh2.prevStageFactor, 1.0);
    setReal(S, 77, 1.0);  // reserved
    setReal(S, 82, 1.0);  // reserved
    setReal(S, dw::kPrevTracked, 50.0);

    *dworkInt(S, dw::kReportRateCh1) = 50;
    *dworkInt(S, dw::kReportRateCh2) = 50;

    for (int k = 216; k <= 230; ++k) *dworkBool(S, k) = false;
    *dworkBool(S, dw::kPrevSelector) = true;
    *dworkBool(S, dw::kPrevSettledCh1) = true;
}

void mdlUpdate(SimStruct* S, int tid) {
    (void)tid;
    const BlockSignals* sig = blockSignalsOf(S);
    if (sig == nullptr) return;
    const double* B = sig->B;
    const int32_t* BI = sig->BI;
    const bool* BB = sig->BB;

    double* prevPerSample = dworkReal(S, dw::kPrevPerSample);
    prevPerSample[0] = B[sig::kTimestamp];
    prevPerSample[1] = B[sig::kMagnitude];
    prevPerSample[2] = B[sig::kReportedFrequency];
    prevPerSample[3] = B[sig::kRocof];
    setReal(S, dw::kTrackedForLatch, B[sig::kTrackedFrequency]);
    setReal(S, dw::kTuningFrequencyCh1, B[sig::kTuningFrequencyCh1]);
    setReal(S, dw::kTuningFrequencyCh2, B[sig::kTuningFrequencyCh2]);
    setReal(S, dw::kPrevOffsetForFraction, B[sig::kReportOffset]);
    setReal(S, dw::kPrevActiveRawFrequency, B[sig::kActiveRawFrequency]);
    setReal(S, dw::kOscillatorPhaseCh1, B[sig::kOscillatorPhaseCh1]);
    setReal(S, dw::kNominalFrequencyCh1, B[sig::kNominalFrequencyCh1]);
    setReal(S, dw::kOscillatorPhaseCh2, B[sig::kOscillatorPhaseCh2]);
    setReal(S, dw::kNominalFrequencyCh2, B[sig::kNominalFrequencyCh2]);

    for (int s = 0; s < 24; ++s) {
        setReal(S, stagePrevInputVector(s), B[kStageEntries[s].input]);
        setReal(S, stagePrevSumVector(s), B[kStageEntries[s].sum]);
    }

    const SmootherVectors* vectors[2] = {&kSmootherVectorsCh1, &kSmootherVectorsCh2};
    const SmootherEntries* entries[2] = {&kSmootherCh1, &kSmootherCh2};
    for (int c = 0; c < 2; ++c) {
        const SmootherVectors& v = *vectors[c];
        const SmootherEntries& e = *entries[c];
        setReal(S, v.prevDetectorAngle, B[e.detectorAngle]);
        setReal(S, v.prevStageFactor, B[e.stageFactor]);
        setReal(S, v.prevRawForSumA, B[e.rawFrequency]);
        setReal(S, v.prevSumA, B[e.sumA]);
        setReal(S, v.prevRawForSumB, B[e.rawFrequency]);
        setReal(S, v.prevSumB, B[e.sumB]);
        *dworkBool(S, v.prevPulsePhase) = BB[e.pulsePhase];
        *dworkBool(S, v.prevNotPulsePhase) = BB[e.notPulsePhase];
    }
    setReal(S, dw::kPrevSmoothedCh1, B[kSmootherCh1.smoothed]);
    setReal(S, dw::kPrevSmoothedCh2, B[kSmootherCh2.smoothed]);

    setReal(S, dw::kPrevOffsetForStrobe, B[sig::kReportOffset]);
    setReal(S, dw::kPrevTimestamp, B[sig::kTimestamp]);
    double* heldReport = dworkReal(S, dw::kHeldReport);
    heldReport[0] = B[sig::kReportTimestamp];
    heldReport[1] = B[sig::kReportMagnitude];
    heldReport[2] = B[sig::kReportFrequency];
    heldReport[3] = B[sig::kReportRocof];
    setReal(S, dw::kPrevAngle, B[sig::kAngle]);
    setReal(S, dw::kHeldReportAngle, B[sig::kReportAngle]);
    setReal(S, dw::kPrevTracked, B[sig::kTrackedFrequency]);
    setReal(S, dw::kSettleTimerCh1, B[sig::kSettleTimerCh1]);
    setReal(S, dw::kSettleTimerCh2, B[sig::kSettleTimerCh2]);

    *dworkInt(S, dw::kReportRateCh1) = BI[sig::kReportRateCh1];
    *dworkInt(S, dw::kReportRateCh2) = BI[sig::kReportRateCh2];

    *dworkBool(S, dw::kPrevSelector) = BB[sig::kChannel1Active];
    *dworkBool(S, dw::kPrevSettledCh1) = BB[sig::kSettledCh1];
    *dworkBool(S, dw::kPrevNotPrevSettledCh1) = BB[sig::kNotPrevSettledCh1];
    *dworkBool(S, dw::kPrevSettledCh2) = BB[sig::kSettledCh2];
    *dworkBool(S, dw::kPrevNotPrevSettledCh2) = BB[sig::kNotPrevSettledCh2];
    *dworkBool(S, dw::kPrevSelectorForRestartCh1) = BB[sig::kChannel1Active];
    *dworkBool(S, dw::kPrevNotSelector) = BB[sig::kChannel2Active];
}

void mdlTerminate(SimStruct* S) { releaseBlockSignals(S); }

}  // namespace ORVANE_MODEL_NS
