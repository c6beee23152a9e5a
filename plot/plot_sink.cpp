#include "plot/plot_sink.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "io/output_reader.h"
#include "plot/run_page.h"

PlotSink::PlotSink(const std::string& path, const RunDescription& description)
    : path_(path), description_(description) {}

bool PlotSink::open() {
    if (path_.empty() || path_ == "-") {
        error_ = "option '--plot' needs a file name";
        return false;
    }
    return file_.open(path_, error_);
}

bool PlotSink::write(const ModelInputs& in, const ModelOutputs& out) {
    if (!firstTime_) firstTime_ = in.time;
    trace_.add(out, nextQuality());
    return true;
}

bool PlotSink::finish() {
    const RunDescription& d = description_;
    char rate[64];
    std::snprintf(rate, sizeof rate, "%g samples/s", d.sampleRate);
    std::vector<std::pair<std::string, std::string>> description = {
        {"model", d.model + " (build " + d.build + ", " + rate + ")"},
        {"deliverable", d.deliverable},
        {"input", d.input},
        {"command line", d.commandLine},
        {"time origin", utcText(d.epochOfTimeZero)},
    };
    if (firstTime_) description.emplace_back("start", utcText(d.epochOfTimeZero, *firstTime_));
    RunTrace trace = trace_.finish(d.input, std::move(description));
    trace.epochOfTimeZero = d.epochOfTimeZero;
    const std::string page = renderRunPage({trace});
    if (!file_.write(page.data(), page.size(), error_)) return false;
    return file_.commit(error_);
}

std::optional<RunTrace> loadRunTrace(const std::string& path, std::string& error) {
    std::unique_ptr<OutputRows> rows = openOutputRows(path, error);
    if (!rows) return std::nullopt;
    RunTraceBuilder builder;
    ModelOutputs out;
    while (true) {
        const OutputRows::Status status = rows->next(out);
        if (status == OutputRows::Status::End) break;
        if (status == OutputRows::Status::Error) {
            error = rows->error();
            return std::nullopt;
        }
        builder.add(out, rows->quality());
    }
    std::vector<std::pair<std::string, std::string>> description;
    double epochOfTimeZero = std::numeric_limits<double>::quiet_NaN();
    for (const auto& entry : rows->description()) {
        if (entry.first != "file") description.push_back(entry);
        // An HDF5 output names its time origin; a CSV does not.
        if (entry.first == "time_origin_epoch_seconds") {
            char* end = nullptr;
            const double value = std::strtod(entry.second.c_str(), &end);
            if (end != entry.second.c_str() && std::isfinite(value)) epochOfTimeZero = value;
        }
    }
    RunTrace trace = builder.finish(path, std::move(description));
    trace.epochOfTimeZero = epochOfTimeZero;
    return trace;
}

bool writeRunPage(const std::string& path, const std::vector<RunTrace>& runs, std::string& error) {
    OutputFile file;
    if (!file.open(path, error)) return false;
    const std::string page = renderRunPage(runs);
    return file.writeAll(page, error);
}
