// The block's reports as a file of synchrophasor frames: a CFG-2 frame, then
// one data frame per report. When the block's active report rate changes,
// the next data frames follow a new CFG-2 frame with CFGCNT incremented (a
// reader replaying the file meets it where a live PDC would have asked for
// it). A run whose nominal frequency is not 50 or 60 Hz is refused.
#ifndef ORVANE_IO_C37118_C37118_SINK_H
#define ORVANE_IO_C37118_C37118_SINK_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/c37118/report_framer.h"
#include "io/output_file.h"
#include "io/output_sink.h"

class C37118Sink : public OutputSink {
public:
    // `settings.nominalFrequency` is taken from the first sample.
    C37118Sink(const std::string& path, const StreamSettings& settings);
    // Creates the output; false, with error() set, when it cannot be.
    bool open();

    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

    uint64_t framesWritten() const { return framesWritten_; }

private:
    bool start(const ModelInputs& in);
    bool writeFrame();
    bool refuseNominal(const ModelInputs& in, const std::string& problem);

    std::string path_;
    StreamSettings settings_;
    ReportFramer framer_;
    OutputFile file_;
    std::vector<uint8_t> frame_;
    bool started_ = false;
    double lastNominal_ = 0.0;
    uint64_t samples_ = 0;
    uint64_t framesWritten_ = 0;
    std::string error_;
};

#endif  // ORVANE_IO_C37118_C37118_SINK_H
