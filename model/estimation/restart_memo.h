// Results that depend only on what a channel latches at its restart (its
// tuning frequency, hence its period and windows) or on the active report
// rate, kept with the argument they were computed from. A sample whose
// argument has the same bits takes the kept result: the arithmetic is
// deterministic, so the result is the one it would compute, without the
// divisions that otherwise sit in every sample's dependency chain. Any other
// argument (a restart, a host that changed a work vector) computes afresh.
#ifndef ORVANE_MODEL_ESTIMATION_RESTART_MEMO_H
#define ORVANE_MODEL_ESTIMATION_RESTART_MEMO_H

#include <bit>
#include <cstdint>

#include "model/estimation/boxcar_stage.h"

namespace est {

inline bool sameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }
inline bool sameBits(int32_t a, int32_t b) { return a == b; }

// The last argument and result of one function; all zero (nothing kept)
// when the model's record is allocated.
template <typename Argument, typename Result>
struct Memo {
    bool kept;
    Argument argument;
    Result result;

    template <typename Compute>
    inline __attribute__((always_inline)) const Result& get(Argument a, Compute compute) {
        if (__builtin_expect(!kept || !sameBits(a, argument), 0)) {
            result = compute(a);
            argument = a;
            kept = true;
        }
        return result;
    }
};

// A cascade channel's window from its period: the entries it records and
// the parameters its stages share (restart aside).
struct CascadeWindow {
    WholeWindow whole;
    StageWindow stage;
};

// A smoother's window from its length W in seconds.
struct SmootherWindow {
    double samples;       // M = Fs*W
    WholeWindow whole;
    EdgeWeights edge;     // with u = N - M
    double inverseCapped; // 1/min(W, 0.04)
};

struct RestartMemos {
    Memo<int32_t, double> reportInterval;
    // Per channel, 0 for channel 1 and 1 for channel 2.
    Memo<double, double> period[2];
    Memo<double, CascadeWindow> cascade[2];
    Memo<double, SmootherWindow> smoother[2];
};

}  // namespace est

#endif  // ORVANE_MODEL_ESTIMATION_RESTART_MEMO_H
