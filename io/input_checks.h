// The rules about input that every road applies (`orvane run`, `orvane
// serve`, the Python package and the archive road), each in one place and
// with one text: how the sample rate is found from sample times, the rate
// against the build's, the ranges of the configuration options, and what
// the samples themselves deserve a warning for (missing values, time that
// stands still or runs back, a Time past the report grid, phases in the
// wrong order, an input shorter than the filters need to settle).
#ifndef ORVANE_IO_INPUT_CHECKS_H
#define ORVANE_IO_INPUT_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ports.h"

// ---- The sample rate from sample times ----------------------------------

// The rate is found over this much of the input's first even run of samples
// (or all of it when shorter): the mean step over many steps, whose error is
// the resolution of time divided by the span, not by one step. At Unix times
// near 1.7e9 s a double resolves 2.4e-7 s, 0.24 % of a 10 kHz period, so one
// step cannot tell 10 kHz from 10 010 Hz, while a second of steps tells it
// to 2.4e-11.
inline constexpr double kRateWindowSeconds = 1.0;
// A forward step this long is a jump of time, not a sampling step: no sample
// rate a file can sensibly have (200 Hz and up) is this slow.
inline constexpr double kTimeJumpSeconds = 5e-3;
// Two rates are one when they differ by less than this share (the
// per-step spacing tolerance of a sample file, a thousandth of a period).
inline constexpr double kSameRateTolerance = 1e-3;

struct RateFinding {
    double rate = 0.0;  // Hz; 0 when not found
    // How it was found, for messages: "mean of 10000 steps over the first
    // 1 s, whole hertz".
    std::string how;
    // The share by which the times' resolution may move the rate (two
    // resolutions over the span).
    double uncertainty = 0.0;
};

// The resolution of a double at `time` (the gap to the next double).
double timeResolution(double time);

// The sample rate of `count` sample times (the caller hands the first
// kRateWindowSeconds or more): the mean step over the first even run of
// steps (each in (0, kTimeJumpSeconds]), taken as a whole number of hertz
// when that lies within the run's resolution (two resolutions of time over
// its span) or a millionth. Non-finite times are skipped. `rate` 0 and `how`
// saying why when fewer than two increasing times are found.
RateFinding findSampleRate(const double* times, std::size_t count);

// Whether `rate` is the build's rate `buildRate`, to kSameRateTolerance.
bool isBuildRate(double rate, double buildRate);

// The refusal of samples at `found` for a build at another rate:
// "the samples are at 4000 Hz (mean of ...), but the 10k build takes
// 10000 Hz". Empty when the rates agree, or when the times cannot tell (no
// rate found, or too coarse for their span: a few steps at Unix times).
std::string rateAgainstBuildError(const RateFinding& found, const std::string& buildTag, double buildRate);

// The build `--build auto` picks for a rate: the one at that rate or the
// nearest above it, and the fastest for anything faster.
std::string buildTagForRate(double rate);

// The refusal of a deliverable (`which`: "the build's deliverable",
// "deliverable 'PATH'") whose registered sample time `period` (s) is not
// the run's period; empty when it is.
std::string deliverableAgainstBuildError(const std::string& which, double period, double buildRate);

// ---- Configuration values ------------------------------------------------

inline constexpr int kLowestReportRate = 1;
inline constexpr int kHighestReportRate = 1200;
inline constexpr double kLowestNominalFrequency = 45.0;
inline constexpr double kHighestNominalFrequency = 65.0;

// "report rate 5000 is outside 1..1200 reports per second"; empty when it
// is a whole number within the range.
std::string reportRateError(double reportRate);
// "nominal frequency 1e+09 Hz is outside 45..65 Hz (the block is designed
// for 50 and 60 Hz systems)"; empty within.
std::string nominalFrequencyError(double nominalFrequency);

// ---- The samples ----------------------------------------------------------

// A run's first seconds rest on start-up values until the filters have
// settled: one filter memory (two moving averages and the frequency
// smoother at the longest period the block tunes to).
double settlingSeconds();

// Watches the samples of one input as they go to the model, in constant time
// and without allocation per sample, and says afterwards what deserves a
// warning. The texts are the same on every road; `name` says whose samples
// they are (a file, "phases").
class InputChecks {
public:
    struct Options {
        // The source already warns of missing values and time jumps in its
        // own terms (a sample CSV by line, a recording by its gap bridge).
        bool sourceCountsGaps = false;
    };
    InputChecks(std::string name, double sampleRate, Options options);
    InputChecks(std::string name, double sampleRate) : InputChecks(std::move(name), sampleRate, Options{}) {}

    void observe(const ModelInputs& in);
    uint64_t samples() const { return samples_; }

    // Warnings found so far and not yet taken, one line each ("warning:
    // NAME: ..."), no line ends. `atEnd`: the input is over, so the checks
    // that need the whole of it (phase order on a short input, the length)
    // are judged too.
    std::vector<std::string> takeWarnings(bool atEnd);

private:
    void judgeSequence();

    std::string name_;
    double fs_;
    Options options_;
    uint64_t samples_ = 0;
    uint64_t window_;     // samples of the first second
    double omega_ = 0.0;  // rad per sample at the nominal frequency
    double re_[3] = {0, 0, 0}, im_[3] = {0, 0, 0};
    bool judged_ = false;
    double firstTime_ = 0.0, previousTime_ = 0.0;
    bool haveTime_ = false;
    uint64_t missing_ = 0, firstMissing_ = 0;
    uint64_t jumps_ = 0, firstJump_ = 0;
    double pastLimitTime_ = 0.0;
    uint64_t pastLimitSample_ = 0;
    int32_t pastLimitRate_ = 0;
    bool pastLimitTold_ = false;
    std::string sequenceWarning_;
    bool sequenceTold_ = false;
    bool lengthTold_ = false;
};

// The last `Time` at which the report grid of `reportRate` reports per
// second still finds report instants: the block clamps Time and the report
// index to +-2e9, so past 2e9 + 1 + 2e9/R seconds no instant is found.
double reportGridLimit(double reportRate);

#endif  // ORVANE_IO_INPUT_CHECKS_H
