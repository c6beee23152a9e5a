// Plotting a run: as a sink while it runs (`orvane run --plot`), or from
// its output files afterwards (`orvane plot`). The page appears whole or not
// at all, like every output.
#ifndef ORVANE_PLOT_PLOT_SINK_H
#define ORVANE_PLOT_PLOT_SINK_H

#include <optional>
#include <string>
#include <vector>

#include "io/output_file.h"
#include "io/output_sink.h"
#include "io/run_description.h"
#include "plot/run_trace.h"

class PlotSink : public OutputSink {
public:
    PlotSink(const std::string& path, const RunDescription& description);
    bool open();
    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

private:
    std::string path_;
    RunDescription description_;
    OutputFile file_;
    RunTraceBuilder trace_;
    std::optional<double> firstTime_;
    std::string error_;
};

// A run's output file (CSV or HDF5) reduced for the page; nullopt with
// `error` set when the file cannot be read.
std::optional<RunTrace> loadRunTrace(const std::string& path, std::string& error);

// Writes the page of `runs` to `path` ("" or "-": standard output).
bool writeRunPage(const std::string& path, const std::vector<RunTrace>& runs, std::string& error);

#endif  // ORVANE_PLOT_PLOT_SINK_H
