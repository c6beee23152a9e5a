// Splits a single-file COMTRADE recording (.cff) into its sections. Each
// section opens with a line "--- file type: CFG ---" (or INF, HDR,
// "DAT ASCII", "DAT BINARY: <bytes>", ...). Binary data is taken by its byte
// count, never by lines, so that bytes that look like line ends survive.
#ifndef ORVANE_IO_COMTRADE_CFF_SECTIONS_H
#define ORVANE_IO_COMTRADE_CFF_SECTIONS_H

#include <string>
#include <string_view>

#include "io/comtrade/comtrade_config.h"

struct CffSections {
    std::string_view cfg;
    int cfgFirstLine = 0;  // line number of the section's first line
    std::string_view dat;
    int datFirstLine = 0;
    DataFormat datFormat = DataFormat::Ascii;
    std::string_view hdr;
    std::string_view inf;
};

// Throws ComtradeError when a header is malformed, a binary section is
// shorter than its byte count, or the CFG or DAT section is missing.
CffSections splitCff(std::string_view file, const std::string& fileName);

#endif  // ORVANE_IO_COMTRADE_CFF_SECTIONS_H
