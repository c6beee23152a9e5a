// The 231 work vectors DWORK0..DWORK230 that carry the model's state from
// one sample to the next: their indices, registered shapes, and typed access
// to their data once their addresses have been looked up (model/model_record.h
// does that through the host).
#ifndef ORVANE_MODEL_RECORD_WORK_VECTORS_H
#define ORVANE_MODEL_RECORD_WORK_VECTORS_H

#include <cstdint>

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
inline constexpr SmootherVectors kSmootherVectors[2] = {kSmootherVectorsCh1, kSmootherVectorsCh2};

// Work vectors of one channel's timing, restart latches and settling.
struct ChannelVectors {
    int reportRate;          // int32
    int tuningFrequency;
    int oscillatorPhase;
    int nominalFrequency;
    int settleTimer;
    int prevSmoothed;
    int prevSettled;         // bool
    int prevNotPrevSettled;  // bool
    int prevActive;          // bool: the channel was the active one
};

inline constexpr ChannelVectors kChannelVectors[2] = {
    {dw::kReportRateCh1, dw::kTuningFrequencyCh1, dw::kOscillatorPhaseCh1, dw::kNominalFrequencyCh1,
     dw::kSettleTimerCh1, dw::kPrevSmoothedCh1, dw::kPrevSettledCh1, dw::kPrevNotPrevSettledCh1,
     dw::kPrevSelectorForRestartCh1},
    {dw::kReportRateCh2, dw::kTuningFrequencyCh2, dw::kOscillatorPhaseCh2, dw::kNominalFrequencyCh2,
     dw::kSettleTimerCh2, dw::kPrevSmoothedCh2, dw::kPrevSettledCh2, dw::kPrevNotPrevSettledCh2,
     dw::kPrevNotSelector},
};

// Stage s (0-based here, 0..23) keeps its previous input, previous sum, sums
// line and inputs line in these work vectors; each line's write index is the
// line's vector index plus kWriteIndexOffset.
constexpr int stagePrevInputVector(int s) { return 10 + 2 * s; }
constexpr int stagePrevSumVector(int s) { return 11 + 2 * s; }
constexpr int stageSumsLineVector(int s) { return 90 + 2 * s; }
constexpr int stageInputsLineVector(int s) { return 91 + 2 * s; }

// The data arrays of all work vectors, looked up once when the block starts.
struct WorkVectorTable {
    void* data[kNumWorkVectors];
};

inline double* dworkReal(const WorkVectorTable& t, int k) { return static_cast<double*>(t.data[k]); }
inline int32_t* dworkInt(const WorkVectorTable& t, int k) { return static_cast<int32_t*>(t.data[k]); }
inline bool* dworkBool(const WorkVectorTable& t, int k) { return static_cast<bool*>(t.data[k]); }

// Element type of a work vector; registration names the host's type for it.
enum class WorkType : int {
    real,     // double
    int32,    // int32_t
    integer,  // the host's native signed 32-bit integer (delay-line write indices)
    boolean,  // one-byte bool
};

// Registered shape of one group of work vectors.
struct WorkVectorGroup {
    int first;
    int last;
    int width;  // 0 stands for the build's delay-line length
    WorkType type;
    bool discreteState;
};

inline constexpr WorkVectorGroup kWorkVectorGroups[] = {
    {0, 0, 4, WorkType::real, true},
    {1, 73, 1, WorkType::real, true},
    {74, 74, 4, WorkType::real, true},
    {75, 89, 1, WorkType::real, true},
    {90, 149, 0, WorkType::real, false},
    {150, 151, 1, WorkType::int32, true},
    {152, 155, 1, WorkType::int32, false},
    {156, 215, 1, WorkType::integer, false},
    {216, 230, 1, WorkType::boolean, true},
};

#endif  // ORVANE_MODEL_RECORD_WORK_VECTORS_H
