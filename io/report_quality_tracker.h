// The one place where a sample's quality word is made: the source's word
// (bridged, missing, restarted input) plus what the run itself knows, the
// filters still filling since the block started or started again, and a
// value that is not finite. run, serve and the Python package feed every
// sample through one tracker, so every output of a run carries the same
// word.
#ifndef ORVANE_IO_REPORT_QUALITY_TRACKER_H
#define ORVANE_IO_REPORT_QUALITY_TRACKER_H

#include <cstdint>

#include "io/report_quality.h"
#include "model/ports.h"

class ReportQualityTracker {
public:
    // `sampleRate` of the build (Hz). `settlingSeconds`: how long the
    // frequency smoother and the ROCOF stage behind the phasor cascade hold
    // samples from before a start; the tracker adds the cascade's own two
    // nominal periods. 0 and 0: nothing is start-up.
    ReportQualityTracker(double sampleRate = 0.0, double settlingSeconds = 0.0)
        : sampleRate_(sampleRate), settlingSeconds_(settlingSeconds) {}
    // The input's time is not traceable to UTC: every word says so.
    void setUnsynchronised(bool unsynchronised) { unsynchronised_ = unsynchronised; }

    // The word of the sample just stepped: `source` is the source's word
    // for it, `restarted` whether the block was started afresh before it.
    // Constant time, no allocation.
    ReportQuality next(const ModelInputs& in, const ModelOutputs& out, ReportQuality source, bool restarted);

    // A start of the block that the caller made itself (serve after a
    // non-finite input): the next sample counts as restarted.
    void restart() { pendingRestart_ = true; }

private:
    double sampleRate_;
    double settlingSeconds_;
    bool unsynchronised_ = false;
    bool pendingRestart_ = false;
    bool sinceRestart_ = false;  // the filling span is one after a restart
    uint64_t sinceStart_ = 0;    // samples stepped since the block (re)started
};

// One report per instant across a gap. Over a filled gap (missing input
// stood in by zeros, or bridged) the block's frequency tracker drifts, so
// it may give an instant again that it reported already, and after a fresh
// start its first report falls on the grid instant at or after its first
// sample minus one period, which the block before the restart may have
// reported early. Such a report, one whose instant is not after the last
// report's while the sample rests on filled or restarted input, is taken
// back (its strobe cleared): the first word said of an instant stands. A
// time that runs back in sound input is the block's own business and
// passes.
class RepeatedReportGuard {
public:
    // Clears `out.reportStrobe` of a repeated report; true when it did.
    bool check(ModelOutputs& out, ReportQuality quality) {
        if (!out.reportStrobe) return false;
        constexpr ReportQuality kFilled = kQualityBridged | kQualityMissing | kQualityRestarted;
        if (haveReport_ && (quality & kFilled) != 0 && !(out.timestamp > lastReport_)) {
            out.reportStrobe = false;
            ++dropped_;
            return true;
        }
        haveReport_ = true;
        lastReport_ = out.timestamp;
        return false;
    }
    uint64_t dropped() const { return dropped_; }

private:
    bool haveReport_ = false;
    double lastReport_ = 0.0;
    uint64_t dropped_ = 0;
};

// Whether any of the seven outputs' real values or the three phases is not
// finite.
bool sampleNonFinite(const ModelInputs& in, const ModelOutputs& out);

#endif  // ORVANE_IO_REPORT_QUALITY_TRACKER_H
