// Reads the samples of a COMTRADE data file (.dat, or the DAT section of a
// .cff) in any of its four formats, front to back a block at a time: text
// line by line, binary in whole records, so memory stays the same however
// long the recording. Checks record sizes, field counts, consecutive sample
// numbers; throws ComtradeError naming file, line (or record) and field. A
// sample count other than the configuration announces is read, and told.
#ifndef ORVANE_IO_COMTRADE_DAT_READER_H
#define ORVANE_IO_COMTRADE_DAT_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/comtrade/comtrade_config.h"
#include "io/comtrade/file_blocks.h"

// Where the data lies: the whole of a .dat (length -1), or the DAT bytes of
// a .cff. For text data, `firstLine` is the line number of its first line.
struct DatLocation {
    std::string path;
    uint64_t offset = 0;
    int64_t length = -1;
    int firstLine = 1;
};

class DatReader {
public:
    // `analogIndices` are 0-based positions among the analog channels.
    DatReader(const DatLocation& where, const ComtradeConfig& config, std::vector<int> analogIndices);

    // Reads up to `records` samples: raw timestamps (ticks of the
    // configuration's unit; NaN when missing) into `stamps`, and the raw
    // values of the requested channels (NaN where missing), in request
    // order, `analogIndices.size()` a sample, into `values`. Returns how many
    // were read; 0 at the end, once the count has been checked.
    std::size_t read(double* stamps, double* values, std::size_t records);
    // The data was read through and checked before: text lines then have
    // only the requested channels converted.
    void skipChecks() { checked_ = true; }
    // After reading to the end: one warning line when the data holds more
    // samples than the configuration's last endsamp (the declared ones were
    // read, the rest left) or fewer (those there were read); else empty.
    std::string countWarning() const;
    int64_t samplesRead() const { return count_; }

private:
    bool readAsciiRecord(double& stamp, double* values);

    const ComtradeConfig& cfg_;
    std::vector<int> wanted_;
    std::string fileName_;
    FileBlocks file_;
    bool ended_ = false;
    bool checked_ = false;
    int64_t count_ = 0;
    int64_t extraRecords_ = 0;
    uint32_t previousNumber_ = 0;
    int64_t previousAsciiNumber_ = 0;
    // Text
    int lineNumber_ = 0;
    int lastLine_ = 0;
    std::vector<std::string_view> fields_;
    std::vector<double> row_;
    // Binary
    std::size_t valueBytes_ = 0;
    std::size_t recordBytes_ = 0;
    std::size_t records_ = 0;
};

#endif  // ORVANE_IO_COMTRADE_DAT_READER_H
