// The 231 work vectors DWORK0..DWORK230 that carry the model's state from
// one sample to the next, by index, with typed access to their data.
#ifndef ORVANE_MODEL_WORK_VECTORS_H
#define ORVANE_MODEL_WORK_VECTORS_H

#include <cstdint>

#include "host/simstruc.h"

constexpr int kNumWorkVectors = 231;

namespace dw {
constexpr int kPrevPerSample = 0;           // x4: timestamp, magnitude, frequency, ROCOF
constexpr int kTrackedForLatch = 1;
constexpr int kTuningFrequencyCh1 = 2;
constexpr int kTuningFrequencyCh2 = 3;
constexpr int kPrevOffsetForFraction = 4;
constexpr int kPrevActiveRawFrequency = 5;
constexpr int kOscillatorPhaseCh1 = 6;
constexpr int kNominalFrequencyCh1 = 7;
constexpr int kOscillatorPhaseCh2 = 8;
constexpr int kNominalFrequencyCh2 = 9;
constexpr int kFirstCascadeVector = 10;     // DWORK10..DWORK57, four per product
constexpr int kPrevSmoothedCh1 = 70;
constexpr int kPrevSmoothedCh2 = 71;
constexpr int kPrevOffsetForStrobe = 72;
constexpr int kPrevTimestamp = 73;
constexpr int kHeldReport = 74;             // x4: timestamp, magnitude, frequency, ROCOF
constexpr int kPrevAngle = 75;
constexpr int kHeldReportAngle = 76;
constexpr int kPrevTracked = 87;
constexpr int kSettleTimerCh1 = 88;
constexpr int kSettleTimerCh2 = 89;
constexpr int kFirstDelayLine = 90;         // DWORK90..DWORK149
constexpr int kLastDelayLine = 149;
constexpr int kReportRateCh1 = 150;
constexpr int kReportRateCh2 = 151;
constexpr int kPulseCounterCh1 = 152;
constexpr int kPulseCounterCh2 = 153;
constexpr int kFirstPulseCounter = 152;     // DWORK152..DWORK155
constexpr int kLastPulseCounter = 155;
constexpr int kFirstWriteIndex = 156;       // DWORK156..DWORK215
constexpr int kLastWriteIndex = 215;
constexpr int kWriteIndexOffset = 66;       // line k has its write index in k + 66
constexpr int kPrevSelector = 216;
constexpr int kPrevSettledCh1 = 217;
constexpr int kPrevNotPrevSettledCh1 = 218;
constexpr int kPrevSettledCh2 = 219;
constexpr int kPrevNotPrevSettledCh2 = 220;
constexpr int kPrevSelectorForRestartCh1 = 221;
constexpr int kPrevNotSelector = 222;
constexpr int kPrevPulsePhaseCh1 = 223;
constexpr int kPrevNotPulsePhaseCh1 = 224;
constexpr int kPrevPulsePhaseCh2 = 225;
constexpr int kPrevNotPulsePhaseCh2 = 226;
}  // namespace dw

// Work vectors of one channel's frequency detector and smoother.
struct SmootherVectors {
    int prevDetectorAngle;
    int prevStageFactor;
    int prevRawForSumA;
    int prevSumA;
    int prevRawForSumB;
    int prevSumB;
    int pulseCounter;
    int prevPulsePhase;
    int prevNotPulsePhase;
    int lineSumA;
    int lineSumB;
    int lineRaw;
};

inline constexpr SmootherVectors kSmootherVectorsCh1 = {58, 59, 60, 61, 62, 63, 152, 223, 224, 138, 139, 140};
inline constexpr SmootherVectors kSmootherVectorsCh2 = {64, 65, 66, 67, 68, 69, 153, 225, 226, 141, 142, 143};

// Stage s (0-based here, 0..23) keeps its previous input, previous sum, sums
// line and inputs line in these work vectors; each line's write index is the
// line's vector index plus kWriteIndexOffset.
constexpr int stagePrevInputVector(int s) { return 10 + 2 * s; }
constexpr int stagePrevSumVector(int s) { return 11 + 2 * s; }
constexpr int stageSumsLineVector(int s) { return 90 + 2 * s; }
constexpr int stageInputsLineVector(int s) { return 91 + 2 * s; }

inline double* dworkReal(SimStruct* S, int k) { return static_cast<double*>(ssGetDWork(S, k)); }
inline int32_t* dworkInt(SimStruct* S, int k) { return static_cast<int32_t*>(ssGetDWork(S, k)); }
inline bool* dworkBool(SimStruct* S, int k) { return static_cast<bool*>(ssGetDWork(S, k)); }

// The data arrays of all work vectors, looked up through the host once when
// the block starts. The host allocates them before mdlStart and keeps them
// in place until it frees the block, so a sample reads each address with
// one load instead of walking the host's record 300 times.
struct WorkVectorTable {
    void* data[kNumWorkVectors];
};

inline void resolveWorkVectors(SimStruct* S, WorkVectorTable& table) {
    for (int k = 0; k < kNumWorkVectors; ++k) table.data[k] = ssGetDWork(S, k);
}

inline double* dworkReal(const WorkVectorTable& t, int k) { return static_cast<double*>(t.data[k]); }
inline int32_t* dworkInt(const WorkVectorTable& t, int k) { return static_cast<int32_t*>(t.data[k]); }
inline bool* dworkBool(const WorkVectorTable& t, int k) { return static_cast<bool*>(t.data[k]); }

// Registered shape of one group of work vectors.
struct WorkVectorGroup {
    int first;
    int last;
    int width;  // 0 stands for the build's delay-line length
    int dataType;
    bool discreteState;
};

inline constexpr WorkVectorGroup kWorkVectorGroups[] = {
    {0, 0, 4, SS_DOUBLE, true},
    {1, 73, 1, SS_DOUBLE, true},
    {74, 74, 4, SS_DOUBLE, true},
    {75, 89, 1, SS_DOUBLE, true},
    {90, 149, 0, SS_DOUBLE, false},
    {150, 151, 1, SS_INT32, true},
    {152, 155, 1, SS_INT32, false},
    {156, 215, 1, SS_INTEGER, false},
    {216, 230, 1, SS_BOOLEAN, true},
};

#endif  // ORVANE_MODEL_WORK_VECTORS_H
