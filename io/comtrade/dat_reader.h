// Reads the samples of a COMTRADE data file (.dat, or the DAT section of a
// .cff) in any of its four formats. Checks record sizes, field counts,
// consecutive sample numbers and the sample count the configuration
// announces; throws ComtradeError naming file, line (or record) and field.
#ifndef ORVANE_IO_COMTRADE_DAT_READER_H
#define ORVANE_IO_COMTRADE_DAT_READER_H

#include <string>
#include <string_view>
#include <vector>

#include "io/comtrade/comtrade_config.h"

struct DatSamples {
    // Raw timestamps in ticks of the configuration's unit; NaN when missing.
    std::vector<double> timestamps;
    // Raw values of the requested analog channels, in request order; NaN
    // where a value is missing.
    std::vector<std::vector<double>> channels;
};

// `analogIndices` are 0-based positions among the analog channels. For text
// data, `firstLine` is the line number of the data's first line in the file.
DatSamples readDat(std::string_view data, const ComtradeConfig& config, const std::vector<int>& analogIndices,
                   const std::string& fileName, int firstLine = 1);

#endif  // ORVANE_IO_COMTRADE_DAT_READER_H
