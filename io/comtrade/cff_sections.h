// Splits a single-file COMTRADE recording (.cff) into its sections. Each
// section opens with a line "--- file type: CFG ---" (or INF, HDR,
// "DAT ASCII", "DAT BINARY: <bytes>", ...). Binary data is taken by its byte
// count, never by lines, so that bytes that look like line ends survive.
#ifndef ORVANE_IO_COMTRADE_CFF_SECTIONS_H
#define ORVANE_IO_COMTRADE_CFF_SECTIONS_H

#include <cstdint>
#include <string>

#include "io/comtrade/comtrade_config.h"

// The configuration text, and where the data lies: the file is read once,
// line by line, and only the configuration is kept (the header and
// information sections are skipped).
struct CffSections {
    std::string cfg;
    int cfgFirstLine = 0;  // line number of the section's first line
    uint64_t datOffset = 0;  // bytes from the start of the file
    uint64_t datLength = 0;
    int datFirstLine = 0;
    DataFormat datFormat = DataFormat::Ascii;
};

// Throws ComtradeError when the file cannot be read, a header is
// malformed, a binary section is shorter than its byte count, or the CFG or
// DAT section is missing.
CffSections splitCff(const std::string& fileName);

#endif  // ORVANE_IO_COMTRADE_CFF_SECTIONS_H
