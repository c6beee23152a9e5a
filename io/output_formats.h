// The formats a run's outputs can be written in, chosen by name or by the
// output file's extension. Each format is a sink of its own; this table is
// the only place that knows them all.
#ifndef ORVANE_IO_OUTPUT_FORMATS_H
#define ORVANE_IO_OUTPUT_FORMATS_H

#include <memory>
#include <string>

#include "io/output_sink.h"
#include "io/run_description.h"

struct OutputRequest {
    std::string path;    // "" or "-" for standard output
    std::string format;  // "csv", "hdf5", "comtrade"; empty: by the extension, else CSV
    bool reportsOnly = false;
    RunDescription description;
    bool quality = false;  // CSV: a last column marking bridged samples' reports
};

// The format `request` asks for, or "" with `error` set for an unknown name.
std::string outputFormatOf(const OutputRequest& request, std::string& error);

// The file extension of a format (".csv", ".h5", ".cfg").
std::string outputExtension(const std::string& format);

// "csv, hdf5 or comtrade": for usage text and messages.
std::string outputFormatNames();

// The sink, opened (file created beside its target); null with `error` set
// when the format is unknown or the output cannot be created.
std::unique_ptr<OutputSink> openOutputSink(const OutputRequest& request, std::string& error);

#endif  // ORVANE_IO_OUTPUT_FORMATS_H
