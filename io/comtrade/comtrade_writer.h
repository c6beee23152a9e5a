// Writes COMTRADE recordings (.cfg + .dat, or one .cff) in any of the four
// data formats, for test data and for tools that hand recordings on.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_WRITER_H
#define ORVANE_IO_COMTRADE_COMTRADE_WRITER_H

#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"

struct ComtradeData {
    // Raw values per analog channel (value = a*raw + b); NaN writes the
    // format's missing-value mark. Integer formats round to the nearest.
    std::vector<std::vector<double>> analogRaw;
    // 0 or 1 per status channel and sample; may be empty (all 0).
    std::vector<std::vector<int>> status;
    // Timestamps in ticks; empty writes n-1 times the rate's period in µs
    // (or 0 when the timing comes from the timestamps and none are given).
    std::vector<double> timestamps;
};

// The configuration text, CR/LF line ends.
std::string formatCfg(const ComtradeConfig& config);
// The data bytes in the configuration's format.
std::string formatDat(const ComtradeConfig& config, const ComtradeData& data);

// Writes `stem`.cfg and `stem`.dat; false when a file cannot be written.
bool writeComtrade(const std::string& stem, const ComtradeConfig& config, const ComtradeData& data);
// Writes one .cff file at `path`.
bool writeCff(const std::string& path, const ComtradeConfig& config, const ComtradeData& data);

#endif  // ORVANE_IO_COMTRADE_COMTRADE_WRITER_H
