// What one sample's estimation steps hand each other without storing it in
// the block-signal record: the inputs as read, the active channel, each
// channel's restart, period, reference phase, oscillator and filtered
// products, the report interval and the correction factor.
#ifndef ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H
#define ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H

#include <cstdint>

#include "model/estimation/restart_memo.h"
#include "model/record/block_signals.h"
#include "model/record/work_vectors.h"

namespace est {

struct StepInputs {
    double phase[3];  // a, b, c
    double time;
    int32_t reportRate;
    double magnitudeCoeffs[3];  // c2, c1, c0
    double phaseCoeffs[3];      // p2, p1, p0
    double nominalFrequency;
};

// The twelve filtered products of one channel, by phase a, b, c.
struct FilteredProducts {
    double sine[3];
    double cosine[3];
};

// One channel's values within the sample.
struct ChannelStep {
    bool restart;
    double period;
    double refPhase;  // psi
    double sine;      // of the oscillator phase
    double cosine;
    FilteredProducts filtered;
};

struct StepContext {
    BlockSignals* sig;
    const WorkVectorTable* vectors;  // the run's work vectors
    RestartMemos* memos;
    StepInputs in;

    int active;  // the active channel: 0 for channel 1, 1 for channel 2
    ChannelStep ch[2];
    double reportInterval;

    double calibrationGain;  // G
    double phaseOffset;      // P
    double droop;            // D
    double correctionRe;     // Kc
    double correctionIm;     // Ks

    double positiveSeqRe;
    double positiveSeqIm;
    bool strobe;
};

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H
