// Reads back the output files of a run (CSV or HDF5, told apart by their
// first bytes), row by row, with what the file says about its run.
#ifndef ORVANE_IO_OUTPUT_READER_H
#define ORVANE_IO_OUTPUT_READER_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "io/report_quality.h"
#include "model/ports.h"

class OutputRows {
public:
    enum class Status { Row, End, Error };
    virtual ~OutputRows() = default;
    virtual Status next(ModelOutputs& out) = 0;
    virtual const std::string& error() const = 0;
    // Name and value pairs describing the run, as the file gives them.
    virtual const std::vector<std::pair<std::string, std::string>>& description() const = 0;
    // The quality word of the last row: the CSV's `quality` column, the
    // HDF5 `quality` dataset; 0 for a file without them.
    virtual ReportQuality quality() const { return 0; }
};

// Null, with `error` set, when the file cannot be read or is neither an
// output CSV nor an HDF5 output.
std::unique_ptr<OutputRows> openOutputRows(const std::string& path, std::string& error);

// The two readers behind it.
std::unique_ptr<OutputRows> openCsvOutputRows(const std::string& path, std::string& error);
std::unique_ptr<OutputRows> openHdf5OutputRows(const std::string& path, std::string& error);

#endif  // ORVANE_IO_OUTPUT_READER_H
