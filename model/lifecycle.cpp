// Start, initial conditions, update and terminate of the measurement block:
// who creates, clears, copies and frees its state.
#include <cstdint>
#include <utility>

#include "model/estimation/non_finite.h"
#include "model/model_alloc.h"
#include "model/model_methods.h"
#include "model/model_record.h"
#include "model/record/block_signals.h"
#include "model/record/work_vectors.h"

namespace ORVANE_MODEL_NS {

namespace {

constexpr const char* kAllocationError = "memory allocation error in generated S-Function";

void setReal(SimStruct* S, int k, double value) { *dworkReal(S, k) = value; }
void setReal(const WorkVectorTable& t, int k, double value) { *dworkReal(t, k) = value; }

// The two copies of boxcar stage `Stage`: its input and its sum.
template <int Stage>
inline void copyStage(const WorkVectorTable& t, const double* B) {
    setReal(t, stagePrevInputVector(Stage), B[kStageEntries[Stage].input]);
    setReal(t, stagePrevSumVector(Stage), B[kStageEntries[Stage].sum]);
}

template <int... Stage>
inline void copyStages(const WorkVectorTable& t, const double* B, std::integer_sequence<int, Stage...>) {
    (copyStage<Stage>(t, B), ...);
}

// The copies of channel c: its latches, oscillator, settling, frequency
// detector and smoother.
template <int C>
inline __attribute__((always_inline)) void copyChannel(const WorkVectorTable& t, const BlockSignals& sig) {
    constexpr ChannelVectors cv = kChannelVectors[C];
    constexpr ChannelEntries ce = kChannelEntries[C];
    const double* B = sig.B;
    setReal(t, cv.tuningFrequency, B[ce.tuningFrequency]);
    setReal(t, cv.oscillatorPhase, B[ce.oscillatorPhase]);
    setReal(t, cv.nominalFrequency, B[ce.nominalFrequency]);
    setReal(t, cv.settleTimer, B[ce.settleTimer]);
    *dworkInt(t, cv.reportRate) = sig.BI[ce.reportRate];
    *dworkBool(t, cv.prevSettled) = sig.BB[ce.settled];
    *dworkBool(t, cv.prevNotPrevSettled) = sig.BB[ce.notPrevSettled];

    constexpr SmootherVectors v = kSmootherVectors[C];
    constexpr SmootherEntries e = kSmoother[C];
    setReal(t, cv.prevSmoothed, B[e.smoothed]);
    setReal(t, v.prevDetectorAngle, B[e.detectorAngle]);
    setReal(t, v.prevStageFactor, B[e.stageFactor]);
    setReal(t, v.prevRawForSumA, B[e.rawFrequency]);
    setReal(t, v.prevSumA, B[e.sumA]);
    setReal(t, v.prevRawForSumB, B[e.rawFrequency]);
    setReal(t, v.prevSumB, B[e.sumB]);
    *dworkBool(t, v.prevPulsePhase) = sig.BB[e.pulsePhase];
    *dworkBool(t, v.prevNotPulsePhase) = sig.BB[e.notPulsePhase];
}

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

BlockSignals* modelBlockSignals(SimStruct* S) {
    ModelRecord* record = modelRecordOf(S);
    return record == nullptr ? nullptr : &record->signals;
}

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
    auto* record = static_cast<ModelRecord*>(modelCalloc(1, sizeof(ModelRecord)));
    if (record == nullptr) {
        ssSetErrorStatus(S, kAllocationError);
        return;
    }
    holder->slots[0] = record;
    resolveWorkVectors(S, record->vectors);

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
    setReal(S, dw::kPrevActiveRawFrequency, 50.0);
    setReal(S, 77, 1.0);  // reserved
    setReal(S, 82, 1.0);  // reserved
    setReal(S, dw::kPrevTracked, 50.0);
    for (int c = 0; c < 2; ++c) {
        setReal(S, kChannelVectors[c].tuningFrequency, 50.0);
        setReal(S, kChannelVectors[c].nominalFrequency, 50.0);
        setReal(S, kSmootherVectors[c].prevStageFactor, 1.0);
        *dworkInt(S, kChannelVectors[c].reportRate) = 50;
    }

    for (int k = 216; k <= 230; ++k) *dworkBool(S, k) = false;
    *dworkBool(S, dw::kPrevSelector) = true;
    *dworkBool(S, dw::kPrevSettledCh1) = true;
}

void mdlUpdate(SimStruct* S, int tid) {
    (void)tid;
    const ModelRecord* record = modelRecordOf(S);
    if (record == nullptr) return;
    const WorkVectorTable& t = record->vectors;
    const BlockSignals& sig = record->signals;
    const double* B = sig.B;
    const bool* BB = sig.BB;

    double* prevPerSample = dworkReal(t, dw::kPrevPerSample);
    prevPerSample[0] = B[sig::kTimestamp];
    prevPerSample[1] = B[sig::kMagnitude];
    prevPerSample[2] = B[sig::kReportedFrequency];
    prevPerSample[3] = B[sig::kRocof];
    setReal(t, dw::kTrackedForLatch, B[sig::kTrackedFrequency]);
    setReal(t, dw::kPrevOffsetForFraction, B[sig::kReportOffset]);
    setReal(t, dw::kPrevActiveRawFrequency, B[sig::kActiveRawFrequency]);

    copyStages(t, B, std::make_integer_sequence<int, 24>{});

    copyChannel<0>(t, sig);
    copyChannel<1>(t, sig);

    setReal(t, dw::kPrevOffsetForStrobe, B[sig::kReportOffset]);
    setReal(t, dw::kPrevTimestamp, B[sig::kTimestamp]);
    double* heldReport = dworkReal(t, dw::kHeldReport);
    heldReport[0] = B[sig::kReportTimestamp];
    heldReport[1] = B[sig::kReportMagnitude];
    heldReport[2] = B[sig::kReportFrequency];
    heldReport[3] = B[sig::kReportRocof];
    setReal(t, dw::kPrevAngle, B[sig::kAngle]);
    setReal(t, dw::kHeldReportAngle, B[sig::kReportAngle]);
    setReal(t, dw::kPrevTracked, B[sig::kTrackedFrequency]);


    *dworkBool(t, dw::kPrevSelector) = BB[sig::kChannel1Active];
    *dworkBool(t, dw::kPrevSelectorForRestartCh1) = BB[sig::kChannel1Active];
    *dworkBool(t, dw::kPrevNotSelector) = BB[sig::kChannel2Active];
}

void mdlTerminate(SimStruct* S) { releaseBlockSignals(S); }

}  // namespace ORVANE_MODEL_NS
