// Where the block's outputs of a run go: a CSV file, later measurement
// frames. A sink sees every sample; it chooses what to keep.
#ifndef ORVANE_IO_OUTPUT_SINK_H
#define ORVANE_IO_OUTPUT_SINK_H

#include <string>

#include "io/report_quality.h"
#include "model/ports.h"

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // One sample: the inputs it was computed from (their time in
    // particular) and the seven output-port values. False, with error()
    // set, when the sink cannot take it; the run then stops.
    virtual bool write(const ModelInputs& in, const ModelOutputs& out) = 0;
    // Every sample written: flush and make the output visible. A sink
    // destroyed without a successful finish() leaves no partial file.
    virtual bool finish() = 0;
    virtual const std::string& error() const = 0;
    // The quality word of the next sample written (ReportQualityTracker
    // makes it); sinks that can carry it do.
    virtual void setNextQuality(ReportQuality quality) { quality_ = quality; }

protected:
    ReportQuality nextQuality() const { return quality_; }

private:
    ReportQuality quality_ = 0;
};

#endif  // ORVANE_IO_OUTPUT_SINK_H
