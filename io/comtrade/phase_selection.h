// Which three analog channels of a recording carry phases a, b and c.
#ifndef ORVANE_IO_COMTRADE_PHASE_SELECTION_H
#define ORVANE_IO_COMTRADE_PHASE_SELECTION_H

#include <array>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"

// 0-based analog channel positions for phases a, b, c. `requested` holds
// three channel names (ch_id) or 1-based channel numbers; when it is empty,
// the file's voltage channels are used if there are exactly three of them,
// or exactly one voltage channel each of phase A, B and C. Throws
// ComtradeError (naming `fileName`) when the choice is ambiguous or unknown.
std::array<int, 3> selectPhases(const ComtradeConfig& config, const std::vector<std::string>& requested,
                                const std::string& fileName);

#endif  // ORVANE_IO_COMTRADE_PHASE_SELECTION_H
