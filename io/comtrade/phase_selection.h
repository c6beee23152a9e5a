// Which three analog channels of a recording carry phases a, b and c.
#ifndef ORVANE_IO_COMTRADE_PHASE_SELECTION_H
#define ORVANE_IO_COMTRADE_PHASE_SELECTION_H

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"

// 0-based analog channel positions for phases a, b, c. `requested` holds
// three channel names (ch_id) or 1-based channel numbers (4 or A4); when it
// is empty, the file's voltage channels are used if there are exactly three
// of them (in the order of their phase fields when those name A, B and C
// once each, with a line in `notes` when that is not the file's order), or
// exactly one voltage channel each of phase A, B and C. Throws
// ComtradeError (naming `fileName`) when the choice is ambiguous or unknown.
std::array<int, 3> selectPhases(const ComtradeConfig& config, const std::vector<std::string>& requested,
                                const std::string& fileName, std::vector<std::string>* notes = nullptr);

// Line-to-line voltages ab, bc, ca (0-based positions; -1 for one that is
// not recorded): with `forced` (--line-to-line) the `requested` channels,
// else those named like "VAB", "UAB", "Vab", "A-B" (at least two of the
// three), else the file's three voltage channels in order. Without
// `forced`, only channels named so are taken, and only when no channels
// are requested; otherwise none (the phases are phase-to-neutral).
std::optional<std::array<int, 3>> selectLineToLine(const ComtradeConfig& config, bool forced,
                                                   const std::vector<std::string>& requested,
                                                   const std::string& fileName);

#endif  // ORVANE_IO_COMTRADE_PHASE_SELECTION_H
