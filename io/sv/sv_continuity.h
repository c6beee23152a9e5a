// One stream's samples brought back into order. Samples are named by their
// absolute index (see sv_time.h); this stage
//   - drops a sample it has already given out or holds (a duplicate),
//   - holds samples that arrive ahead of a missing one for up to `window`
//     samples, so that a short reordering is undone,
//   - gives out a missing sample (NaN values, flagged missing) once the
//     window has passed it, counting it lost, and drops it if it turns up
//     later still (late),
//   - treats a jump of more than `maxGap` samples as a break: the stream
//     stopped and resumed; the gap is not filled, and the first sample after
//     it says so.
// It also finds the stream's rate from where smpCnt wraps when the rate is
// not given: samples wait until then (at most a second's worth).
#ifndef ORVANE_IO_SV_SV_CONTINUITY_H
#define ORVANE_IO_SV_SV_CONTINUITY_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "io/sv/sample_gap_flags.h"
#include "io/sv/sv_time.h"

struct SvSample {
    int64_t index = 0;
    double phase[3] = {0.0, 0.0, 0.0};
    SampleGapFlags flags;
    bool afterBreak = false;
};

// One ASDU as it arrived.
struct SvArrival {
    SvClock stamp;
    uint16_t smpCnt = 0;
    std::optional<uint16_t> smpRate;  // when the frame says it
    double phase[3] = {0.0, 0.0, 0.0};
    SampleGapFlags flags;
};

struct SvContinuityCounts {
    uint64_t received = 0;    // samples taken into the stream
    uint64_t lost = 0;        // given out as missing
    uint64_t duplicates = 0;  // dropped: already there
    uint64_t reordered = 0;   // arrived after a later one, put back in place
    uint64_t late = 0;        // arrived after being given up as lost: dropped
    uint64_t badCount = 0;    // smpCnt not below the rate: dropped
    uint64_t breaks = 0;      // gaps too long to fill: stopped and resumed
    uint64_t stops = 0;       // the stream fell silent while the capture went on
};

constexpr std::size_t kDefaultReorderWindow = 128;  // samples
constexpr int64_t kNanosecondsPerSecondI = 1000000000;

class SvContinuity {
public:
    // `rate` 0: found from the stream. `stopAfter`: silence (by the capture
    // clock) after which the stream counts as stopped.
    explicit SvContinuity(uint32_t rate = 0, std::size_t window = kDefaultReorderWindow,
                          int64_t stopAfterNanoseconds = kNanosecondsPerSecondI);

    // Takes one ASDU; the samples it makes ready go to the back of `out` in
    // index order.
    void offer(const SvArrival& a, std::deque<SvSample>& out);
    // The capture clock moved on (any packet, or a read timeout): notices a
    // stream that fell silent.
    void clock(const SvClock& now);
    // No more input: everything held is given out.
    void finish(std::deque<SvSample>& out);

    uint32_t rate() const { return rate_; }
    // The rate was not read from the stream (smpRate, or a wrap of smpCnt
    // at the top of a second) but estimated from the count's pace over the
    // capture clock, or from the highest count of a stream that never
    // wrapped: a short capture can miss by some per cent.
    bool rateEstimated() const { return rateEstimated_; }
    const SvContinuityCounts& counts() const { return counts_; }
    // Index of the first and the highest sample taken, when any.
    std::optional<int64_t> firstIndex() const { return first_; }
    std::optional<int64_t> highestIndex() const { return started_ ? std::optional<int64_t>(highest_) : std::nullopt; }
    bool stopped() const { return stopped_; }

private:
    void settleRate(uint32_t rate, std::deque<SvSample>& out);
    void place(const SvArrival& a, std::deque<SvSample>& out);
    void emitOne(std::deque<SvSample>& out);
    void emitHeld(std::deque<SvSample>& out);

    uint32_t rate_;
    bool rateEstimated_ = false;
    std::size_t window_;
    int64_t stopAfter_;
    SvContinuityCounts counts_;

    // Before the rate is known.
    std::vector<SvArrival> pending_;
    uint16_t maxCount_ = 0;

    bool started_ = false;
    int64_t expected_ = 0;  // the next index to give out
    int64_t highest_ = 0;
    std::size_t held_ = 0;
    std::optional<int64_t> first_;
    bool breakPending_ = false;
    std::vector<SvSample> slots_;       // index % window
    std::vector<int64_t> given_;        // indices given out with values, by index % size
    SvClock lastStamp_;
    bool stopped_ = false;
};

#endif  // ORVANE_IO_SV_SV_CONTINUITY_H
