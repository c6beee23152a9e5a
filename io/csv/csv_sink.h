// The block's outputs as CSV: a header, then one row per sample (or only
// the rows of report instants), doubles to the last bit.
#ifndef ORVANE_IO_CSV_CSV_SINK_H
#define ORVANE_IO_CSV_CSV_SINK_H

#include <string>

#include "io/output_file.h"
#include "io/output_sink.h"

class CsvSink : public OutputSink {
public:
    // `path` empty or "-" for standard output. With `reportsOnly`, only the
    // samples whose report strobe is set are written.
    // With `quality`, a last column `quality` holds the sample's quality
    // word as a decimal integer (io/report_quality.h): 0 where nothing
    // is against the figure.
    CsvSink(const std::string& path, bool reportsOnly, bool quality = false);
    // Creates the output and writes the header; false, with error() set,
    // when the output cannot be created.
    bool open();

    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

private:
    std::string path_;
    bool reportsOnly_;
    bool quality_;
    OutputFile file_;
    std::string error_;
};

// One output row with its line end, as the writer writes it; returns the
// number of characters written to `row`, which must hold kMaxCsvOutputRow.
inline constexpr size_t kMaxCsvOutputRow = 5 * 25 + 2 + 12 + 8 + 8;
size_t formatCsvOutputRow(const ModelOutputs& out, char* row);

#endif  // ORVANE_IO_CSV_CSV_SINK_H
