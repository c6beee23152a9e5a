// One PMU block of the serving loop stepping one sample: the block started
// afresh where its input says so or after it took a non-finite phase, the
// sample's quality word, and a report repeated across filled input taken
// back. The serving loop and the offline road through the instrument step
// their blocks with this one rule.
#ifndef ORVANE_STREAM_PMU_BLOCK_STEP_H
#define ORVANE_STREAM_PMU_BLOCK_STEP_H

#include "host/block_driver.h"
#include "io/report_quality_tracker.h"

class PmuBlockStep {
public:
    enum class Result { Stepped, RestartFailed, StepFailed };

    // `sampleRate`: the build's, for the start-up span of the quality word.
    explicit PmuBlockStep(double sampleRate);

    // Steps `in` through `driver`. The block starts afresh first when the
    // source says so (`sourceRestart`) or when it took a non-finite phase
    // since its last start and `in` is finite again (`afterNonFinite` is
    // then set, for the log). `word` receives the sample's quality word
    // (`sourceQuality` with the block's own start-up and restarts); a
    // report whose instant repeats one made across filled input has its
    // strobe cleared. The driver's error() says why on failure.
    Result step(BlockDriver& driver, const ModelInputs& in, ModelOutputs& out, ReportQuality sourceQuality,
                bool sourceRestart, ReportQuality& word, bool& afterNonFinite);
    // Every word carries the unsynchronised bit: the input's clock says it
    // was not locked (a recorder's time quality code F).
    void setUnsynchronised(bool unsynchronised) { quality_.setUnsynchronised(unsynchronised); }

private:
    ReportQualityTracker quality_;
    // The block's filters hold a non-finite phase until it starts again.
    bool poisoned_ = false;
    RepeatedReportGuard repeats_;
};

#endif  // ORVANE_STREAM_PMU_BLOCK_STEP_H
