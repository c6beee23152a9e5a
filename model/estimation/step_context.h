// What one sample's estimation steps hand each other without storing it in
// the block-signal record: the inputs as read, the channel restarts and
// periods, the report interval, the reference phases, the
// correction factor and the twelve filtered products.
#ifndef ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H
#define ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H

#include <cstdint>

#include "host/simstruc.h"
#include "model/block_signals.h"
#include "model/estimation/restart_memo.h"
#include "model/work_vectors.h"

namespace est {

struct StepInputs {
    double phase[3];  // a, b, c
    double time;
    int32_t reportRate;
    double magnitudeCoeffs[3];  // c2, c1, c0
    double phaseCoeffs[3];      // p2, p1, p0
    double nominalFrequency;
    // A boolean port holds one byte; any nonzero byte is true. Read where
    // the outputs are written.
    const unsigned char* reportMode;
};

// Per-channel window of the boxcar filters.
struct ChannelWindow {
    int32_t delay;       // N
    double edgeFraction; // u
    double edgeWeight0;  // E = 2u - u*u, weight of the input N samples ago
    double edgeWeight1;  // D = u*u, weight of the input N - 1 samples ago
    double scale;        // k = (1/W)*(Ts/2)
    bool pass;           // period below 1e-9 s: the stage passes its input
};

// The twelve filtered products; index with kSine/kCosine and the phase.
struct FilteredProducts {
    double sine[3];
    double cosine[3];
};

struct StepContext {
    SimStruct* S;                       // for the output ports
    BlockSignals* sig;
    const WorkVectorTable* vectors;     // the run's work vectors
    RestartMemos* memos;
    StepInputs in;

    bool restartCh1;
    bool restartCh2;
    double periodCh1;
    double periodCh2;
    double reportInterval;
    double refPhaseCh1;  // psi1
    double refPhaseCh2;  // psi2

    double sinCh1, cosCh1, sinCh2, cosCh2;

    double calibrationGain;   // G
    double phaseOffset;       // P
    double droop;             // D
    double correctionRe;      // Kc
    double correctionIm;      // Ks

    FilteredProducts filteredCh1;
    FilteredProducts filteredCh2;

    double positiveSeqRe;
    double positiveSeqIm;
    bool strobe;
};

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_STEP_CONTEXT_H
