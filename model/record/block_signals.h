// The block-signal record: every value the model computes within one sample.
// Entries are addressed by index (B[k], BI[j], BB[j]); the names below say
// the role of the entries that the code reads or writes by name.
#ifndef ORVANE_MODEL_RECORD_BLOCK_SIGNALS_H
#define ORVANE_MODEL_RECORD_BLOCK_SIGNALS_H

#include <cstdint>

constexpr int kNumBlockDoubles = 189;
constexpr int kNumBlockInts = 22;
constexpr int kNumBlockBools = 14;

struct BlockSignals {
    double B[kNumBlockDoubles];
    int32_t BI[kNumBlockInts];
    bool BB[kNumBlockBools];
};

// Kept as the block's user data; slot 0 holds the block-signal record, the
// other two stay null.
struct SignalHolder {
    void* slots[3];
};

namespace sig {
// Doubles.
constexpr int kTuningFrequencyCh1 = 0;
constexpr int kTuningFrequencyCh2 = 1;
constexpr int kTimestamp = 2;
constexpr int kTimestampFloorPrep = 3;
constexpr int kReportIndexFloorPrep = 4;
constexpr int kReportOffset = 5;
constexpr int kOscillatorPhaseCh1 = 6;
constexpr int kTimeFloorPrep = 7;
constexpr int kNominalFrequencyCh1 = 8;
constexpr int kAlignmentTurnsFloorPrepCh1 = 9;
constexpr int kOscillatorPhaseCh2 = 10;
constexpr int kNominalFrequencyCh2 = 11;
constexpr int kAlignmentTurnsFloorPrepCh2 = 12;
constexpr int kWindowSamplesCeilPrepCh1 = 16;
constexpr int kWindowSamplesCeilPrepCh2 = 28;
constexpr int kMagnitude = 135;
constexpr int kAngle = 164;
constexpr int kReportedFrequency = 158;
constexpr int kRocof = 159;
constexpr int kReportTimestamp = 160;
constexpr int kReportMagnitude = 161;
constexpr int kReportFrequency = 162;
constexpr int kReportRocof = 163;
constexpr int kReportAngle = 165;
constexpr int kTrackedFrequency = 182;
constexpr int kSettleTimerCh1 = 186;
constexpr int kSettleTimerCh2 = 187;
constexpr int kActiveRawFrequency = 188;

// Int32 entries.
constexpr int kReportRateCh1 = 0;
constexpr int kReportRateCh2 = 1;
constexpr int kTimestampWholeSecond = 2;
constexpr int kReportIndex = 3;
constexpr int kTimeWholeSecond = 4;
constexpr int kAlignmentTurnsCh1 = 5;
constexpr int kAlignmentTurnsCh2 = 6;
constexpr int kWholeWindowCh1 = 7;
constexpr int kCascadeDelayCh1 = 8;
constexpr int kWholeWindowCh2 = 9;
constexpr int kCascadeDelayCh2 = 10;

// Booleans.
constexpr int kChannel1Active = 0;
constexpr int kPulsePhaseCh1 = 1;
constexpr int kPulsePhaseCh2 = 2;
constexpr int kNotPrevSettledCh1 = 3;
constexpr int kNotPrevSettledCh2 = 4;
constexpr int kChannel2Active = 5;
constexpr int kNotPulsePhaseCh1 = 10;
constexpr int kNotPulsePhaseCh2 = 11;
constexpr int kSettledCh1 = 12;
constexpr int kSettledCh2 = 13;
}  // namespace sig

// Entries of one channel's frequency detector and smoother.
struct SmootherEntries {
    int detectorAngle;
    int rawFrequency;
    int stageFactor;
    int sumA;
    int windowCeilPrep;
    int delayedSumA;
    int sumB;
    int delayedSumB;
    int delayedRaw0;  // raw frequency N samples ago
    int delayedRaw1;  // raw frequency N - 1 samples ago
    int smoothed;
    int wholeWindow;   // BI
    int delay;         // BI
    int pulsePhase;    // BB
    int notPulsePhase; // BB
};

inline constexpr SmootherEntries kSmootherCh1 = {136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146,
                                                 11, 12, 1, 10};
inline constexpr SmootherEntries kSmootherCh2 = {147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157,
                                                 13, 14, 2, 11};
inline constexpr SmootherEntries kSmoother[2] = {kSmootherCh1, kSmootherCh2};

// Entries of one channel's timing: what it latches at its restart, its
// oscillator and reference phase, its cascade window and its settling.
struct ChannelEntries {
    int tuningFrequency;
    int oscillatorPhase;
    int nominalFrequency;
    int alignmentTurnsFloorPrep;
    int windowSamplesCeilPrep;
    int settleTimer;
    int reportRate;      // BI
    int alignmentTurns;  // BI
    int wholeWindow;     // BI
    int cascadeDelay;    // BI
    int notPrevSettled;  // BB
    int settled;         // BB
};

inline constexpr ChannelEntries kChannelEntries[2] = {
    {sig::kTuningFrequencyCh1, sig::kOscillatorPhaseCh1, sig::kNominalFrequencyCh1, sig::kAlignmentTurnsFloorPrepCh1,
     sig::kWindowSamplesCeilPrepCh1, sig::kSettleTimerCh1, sig::kReportRateCh1, sig::kAlignmentTurnsCh1,
     sig::kWholeWindowCh1, sig::kCascadeDelayCh1, sig::kNotPrevSettledCh1, sig::kSettledCh1},
    {sig::kTuningFrequencyCh2, sig::kOscillatorPhaseCh2, sig::kNominalFrequencyCh2, sig::kAlignmentTurnsFloorPrepCh2,
     sig::kWindowSamplesCeilPrepCh2, sig::kSettleTimerCh2, sig::kReportRateCh2, sig::kAlignmentTurnsCh2,
     sig::kWholeWindowCh2, sig::kCascadeDelayCh2, sig::kNotPrevSettledCh2, sig::kSettledCh2},
};

// Entries of the 24 boxcar stages, in the order mdlOutputs runs them. A
// second stage keeps no output entry (-1): its output goes straight on. The
// input of a first stage is a heterodyne product.
struct StageEntries {
    int input;
    int sum;
    int delayedSum;
    int delayedInput0;  // input N samples ago
    int delayedInput1;  // input N - 1 samples ago
    int output;
};

inline constexpr StageEntries kStageEntries[24] = {
    {13, 15, 17, 18, 19, 20},      {20, 21, 22, 23, 24, -1},      // a sine, ch1
    {25, 27, 29, 30, 31, 32},      {32, 33, 34, 35, 36, -1},      // a sine, ch2
    {37, 39, 40, 41, 42, 43},      {43, 44, 45, 46, 47, -1},      // b sine, ch1
    {48, 50, 51, 52, 53, 54},      {54, 55, 56, 57, 58, -1},      // b sine, ch2
    {59, 61, 62, 63, 64, 65},      {65, 66, 67, 68, 69, -1},      // c sine, ch1
    {70, 72, 73, 74, 75, 76},      {76, 77, 78, 79, 80, -1},      // c sine, ch2
    {14, 81, 82, 83, 84, 85},      {85, 86, 87, 88, 89, -1},      // a cosine, ch1
    {26, 90, 91, 92, 93, 94},      {94, 95, 96, 97, 98, -1},      // a cosine, ch2
    {38, 99, 100, 101, 102, 103},  {103, 104, 105, 106, 107, -1}, // b cosine, ch1
    {49, 108, 109, 110, 111, 112}, {112, 113, 114, 115, 116, -1}, // b cosine, ch2
    {60, 117, 118, 119, 120, 121}, {121, 122, 123, 124, 125, -1}, // c cosine, ch1
    {71, 126, 127, 128, 129, 130}, {130, 131, 132, 133, 134, -1}, // c cosine, ch2
};

#endif  // ORVANE_MODEL_RECORD_BLOCK_SIGNALS_H
