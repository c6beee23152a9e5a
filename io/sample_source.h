// Where the samples of a run come from: a recorded file or a generated
// signal. Each yields the seven input-port values of one sample at a time.
#ifndef ORVANE_IO_SAMPLE_SOURCE_H
#define ORVANE_IO_SAMPLE_SOURCE_H

#include <cstdint>
#include <optional>
#include <string>

#include "io/report_quality.h"
#include "model/ports.h"

class SampleSource {
public:
    enum class Status { Sample, End, Error };

    virtual ~SampleSource() = default;
    // What messages call this source: a file path or a signal's name.
    virtual const std::string& name() const = 0;
    // The number of samples, when it is known before the run.
    virtual std::optional<uint64_t> sampleCount() const = 0;
    // The share of the source consumed so far, 0..1, when the source can
    // tell (a file by the bytes read); progress display uses it.
    virtual std::optional<double> fractionConsumed() const { return std::nullopt; }
    // Fills `in` with the next sample (Status::Sample), or reports the end
    // of the samples, or a fault in them: then error() says what was wrong
    // and where, and the source yields nothing more.
    virtual Status next(ModelInputs& in) = 0;
    virtual const std::string& error() const = 0;
    // What the measurement at the sample last yielded rests on, as far as
    // the source knows: input bridged within the bridge's proven span
    // (kQualityBridged), missing or bridged beyond it (kQualityMissing), a
    // fresh start after an outage (kQualityRestarted). 0: sound input.
    virtual ReportQuality sampleQuality() const { return 0; }
    // Whether the model is to start afresh before the sample last yielded
    // (a stream resuming after a gap longer than the filters' memory).
    virtual bool sampleRestarts() const { return false; }
};

#endif  // ORVANE_IO_SAMPLE_SOURCE_H
