// The block's reports as a COMTRADE recording (2013 revision, FLOAT32):
// magnitude, angle, frequency and ROCOF as four analog channels sampled at
// the report rate, starting at the absolute time of the first report, and
// the report's quality word as status channels (a do-not-use summary, then
// one channel per bit of the word). A change of the active report rate, or
// a report off its rate's grid, starts a new sampling-rate section, so that
// the sections time every report as its timestamp does.
// `X.cfg` is written with `X.dat` beside it; both appear only when the run
// succeeded.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_SINK_H
#define ORVANE_IO_COMTRADE_COMTRADE_SINK_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"
#include "io/output_file.h"
#include "io/output_sink.h"
#include "io/run_description.h"

class ComtradeSink : public OutputSink {
public:
    // `path` ends in .cfg (any case); the data file takes the same stem.
    ComtradeSink(const std::string& path, const RunDescription& description);
    bool open();

    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

private:
    std::string path_;
    RunDescription description_;
    OutputFile cfg_;
    OutputFile dat_;
    ComtradeConfig config_;
    double firstTimestamp_ = 0.0;
    double nominalFrequency_ = 0.0;
    uint32_t reports_ = 0;
    // The rate section being filled: its rate, its start as a reader
    // computes it (s since the first report), and how many reports it holds.
    struct OpenSection {
        double rate = 0.0;
        double start = 0.0;
        uint32_t count = 0;
    };
    OpenSection section_;
    // Why the rate sections cannot time the reports; empty while they can.
    std::string untimedBecause_;
    bool stampMissing_ = false;
    void placeInSection(double elapsed, double rate);
    std::string error_;
};

#endif  // ORVANE_IO_COMTRADE_COMTRADE_SINK_H
