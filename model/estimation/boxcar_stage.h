// The fractional boxcar: a moving average over a window that need not be a
// whole number of samples. It keeps a running trapezoidal sum of its input,
// reads that sum and its input back from delay lines, and removes the part
// of the oldest sample interval outside the window by linear interpolation.
// Every operation here costs the same whatever the window length.
#ifndef ORVANE_MODEL_ESTIMATION_BOXCAR_STAGE_H
#define ORVANE_MODEL_ESTIMATION_BOXCAR_STAGE_H

#include <cstdint>

#include "model/estimation/numeric.h"

namespace est {

// One circular delay line of `length` doubles with its write index.
struct DelayLine {
    double* slots;
    int32_t* writeIndex;
    int32_t length;
};

// Writes `value` at the write index, returns the slot `delay` samples back
// (1 <= delay <= length - 1, so never the slot just written) and advances the
// index, passing from length - 1 back to 0.
inline int32_t delayLineWrite(const DelayLine& line, double value, int32_t delay) {
    int32_t i = *line.writeIndex;
    line.slots[i] = value;
    int32_t j = i - delay;
    if (j < 0) j = j + line.length;
    i = i + 1;
    if (i > line.length - 1) i = 0;
    *line.writeIndex = i;
    return j;
}

// The slot after j, with slot 0 following the last slot.
inline int32_t delayLineNext(const DelayLine& line, int32_t j) { return j == line.length - 1 ? 0 : j + 1; }

// Window length in whole samples from a length M in samples: the ceiling
// preparation, its truncation, and the delay clamped to lo..length - 1.
struct WholeWindow {
    double ceilPrep;
    int32_t whole;
    int32_t delay;
};

inline WholeWindow wholeWindow(double samples, int32_t lowestDelay, int32_t lineLength) {
    WholeWindow w{};
    w.ceilPrep = ceilPrep(samples);
    w.whole = truncateToInt32(w.ceilPrep);
    if (w.whole < lowestDelay) {
        w.delay = lowestDelay;
    } else if (w.whole > lineLength - 1) {
        w.delay = lineLength - 1;
    } else {
        w.delay = w.whole;
    }
    return w;
}

// The part of the oldest interval outside the window, integrated along the
// straight line from the input N samples ago (weight 2u - u*u) to the input
// N - 1 samples ago (weight u*u); twice its area over Ts.
inline double edgeCorrection(double oldest, double nextOldest, double u) {
    return (2.0 * u - u * u) * oldest + nextOldest * (u * u);
}

// Values of one stage in one sample.
struct StageResult {
    double sum;
    double delayedSum;
    double delayedInput0;
    double delayedInput1;
    double output;
};

// Memory of one stage: previous input and sum (work vectors) and its lines.
struct StageMemory {
    const double* prevInput;
    const double* prevSum;
    DelayLine sums;
    DelayLine inputs;
};

// Window parameters shared by every stage of a channel.
struct StageWindow {
    int32_t delay;
    double weight0;  // E = 2u - u*u
    double weight1;  // D = u*u
    double scale;    // (1/W)*(Ts/2)
    bool pass;
    bool restart;    // the running sum starts again from 0
};

inline StageResult boxcarStep(const StageMemory& mem, const StageWindow& w, double x) {
    StageResult r{};
    r.sum = w.restart ? 0.0 : (x + *mem.prevInput) + *mem.prevSum;
    r.delayedSum = mem.sums.slots[delayLineWrite(mem.sums, r.sum, w.delay)];
    const int32_t j = delayLineWrite(mem.inputs, x, w.delay);
    r.delayedInput0 = mem.inputs.slots[j];
    r.delayedInput1 = mem.inputs.slots[delayLineNext(mem.inputs, j)];
    if (w.pass) {
        r.output = x;
    } else {
        r.output = ((r.sum - r.delayedSum) - (r.delayedInput0 * w.weight0 + r.delayedInput1 * w.weight1)) * w.scale;
    }
    return r;
}

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_BOXCAR_STAGE_H
