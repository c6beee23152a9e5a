// Decoded frames as text for people and for other tools: a one-line summary
// of a configuration, and data frames as CSV rows, one per PMU block.
#ifndef ORVANE_IO_C37118_REPORT_TEXT_H
#define ORVANE_IO_C37118_REPORT_TEXT_H

#include <string>

#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"

// E.g. "CFG-2 IDCODE 1, TIME_BASE 1000000, 50 frames/s, PMU 1 'ORVANE PMU'
// (IDCODE 1, 50 Hz, CFGCNT 0, 1 phasor float polar, FREQ float)".
std::string describeConfig(const ConfigFrame& config);

// The CSV header of the rows below for this configuration's first PMU:
// timestamp,soc,fracsec,idcode,stat,frequency,rocof, then magnitude and
// angle of each phasor, each analog and each digital word.
std::string dataCsvHeader(const ConfigFrame& config);

// One CSV row per PMU block of `data`. Phasors come out as magnitude and
// angle (rad) whatever their notation in the frame; STAT and digital words
// in hexadecimal; floats with the nine digits that restore them exactly.
void appendDataRows(const ConfigFrame& config, const DataFrame& data, std::string& out);

#endif  // ORVANE_IO_C37118_REPORT_TEXT_H
