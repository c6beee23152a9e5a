// Reads the configuration text of a COMTRADE recording (revisions 1991, 1999
// and 2013). Throws ComtradeError naming file, line and field for anything
// missing or malformed.
#ifndef ORVANE_IO_COMTRADE_CFG_PARSER_H
#define ORVANE_IO_COMTRADE_CFG_PARSER_H

#include <string>
#include <string_view>

#include "io/comtrade/comtrade_config.h"

// `fileName` is used in messages only; `firstLine` is the line number of the
// text's first line in that file (a .cff section starts after its header).
ComtradeConfig parseCfg(std::string_view text, const std::string& fileName, int firstLine = 1);

#endif  // ORVANE_IO_COMTRADE_CFG_PARSER_H
