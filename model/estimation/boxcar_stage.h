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

// Where one delay line of `length` slots is written and read in a sample:
// the write slot (its write index), the slot `delay` samples back
// (1 <= delay <= length - 1, so never the slot just written), the slot after
// that one (slot 0 follows the last slot), and the write index for the next
// sample.
struct LineCursor {
    int32_t write;
    int32_t delayed;
    int32_t following;
    int32_t advanced;
};

inline LineCursor lineCursor(int32_t writeIndex, int32_t delay, int32_t length) {
    LineCursor c;
    c.write = writeIndex;
    int32_t j = writeIndex - delay;
    if (j < 0) j = j + length;
    c.delayed = j;
    c.following = j == length - 1 ? 0 : j + 1;
    int32_t i = writeIndex + 1;
    if (i > length - 1) i = 0;
    c.advanced = i;
    return c;
}

// The same, kept out of the sample's straight line: every line starts at
// index 0 and advances once a sample, so the lines of a filter share one
// write index unless something outside the model has moved one of them.
inline __attribute__((noinline, cold)) LineCursor lineCursorApart(int32_t writeIndex, int32_t delay,
                                                                   int32_t length) {
    return lineCursor(writeIndex, delay, length);
}

// One circular delay line: its slots and its write index (a work vector).
struct DelayLine {
    double* slots;
    int32_t* writeIndex;
};

// The cursor of `line`: `shared` when the line's write index is the shared
// one (the usual case), computed afresh otherwise.
inline __attribute__((always_inline)) LineCursor cursorOf(const DelayLine& line, const LineCursor& shared,
                                                          int32_t delay, int32_t length) {
    const int32_t i = *line.writeIndex;
    if (__builtin_expect(i == shared.write, 1)) return shared;
    return lineCursorApart(i, delay, length);
}

// Writes `value` at the cursor's write slot and advances the write index.
inline __attribute__((always_inline)) void writeLine(const DelayLine& line, const LineCursor& c, double value) {
    line.slots[c.write] = value;
    *line.writeIndex = c.advanced;
}

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

// Weights of the two oldest inputs in the part of the oldest sample interval
// outside a window of M samples held in N whole ones, u = N - M: the area
// under the straight line from the input N samples ago (weight 2u - u*u) to
// the input N - 1 samples ago (weight u*u), twice over Ts.
struct EdgeWeights {
    double weight0;  // E = 2u - u*u
    double weight1;  // D = u*u
};

inline EdgeWeights edgeWeights(int32_t delay, double samples) {
    const double u = static_cast<double>(delay) - samples;
    return {2.0 * u - u * u, u * u};
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
    int32_t length;  // slots of every line
    EdgeWeights edge;
    double scale;    // (1/W)*(Ts/2)
    bool pass;
    bool restart;    // the running sum starts again from 0
};

// One stage on input x. `Ordinary` is the usual sample of a channel, neither
// its restart nor a period below 1e-9 s: the same arithmetic without the two
// tests, which the caller has made once for the channel's twelve stages.
template <bool Ordinary>
inline __attribute__((always_inline)) StageResult boxcarStep(const StageMemory& mem, const StageWindow& w,
                                                             const LineCursor& shared, double x) {
    StageResult r;
    if (Ordinary || !w.restart) {
        r.sum = (x + *mem.prevInput) + *mem.prevSum;
    } else {
        r.sum = 0.0;
    }
    const LineCursor sums = cursorOf(mem.sums, shared, w.delay, w.length);
    writeLine(mem.sums, sums, r.sum);
    r.delayedSum = mem.sums.slots[sums.delayed];
    const LineCursor inputs = cursorOf(mem.inputs, shared, w.delay, w.length);
    writeLine(mem.inputs, inputs, x);
    r.delayedInput0 = mem.inputs.slots[inputs.delayed];
    r.delayedInput1 = mem.inputs.slots[inputs.following];
    if (!Ordinary && w.pass) {
        r.output = x;
    } else {
        r.output = ((r.sum - r.delayedSum) - (r.delayedInput0 * w.edge.weight0 + r.delayedInput1 * w.edge.weight1)) * w.scale;
    }
    return r;
}

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_BOXCAR_STAGE_H
