// The column layouts of the sample and output CSV files, in file order.
#ifndef ORVANE_IO_CSV_CSV_COLUMNS_H
#define ORVANE_IO_CSV_CSV_COLUMNS_H

#include <array>
#include <string_view>

// One row per sample: the seven input ports, the three-element ports spelt
// out element by element.
inline constexpr std::array<std::string_view, 13> kSampleColumns = {
    "time",  "va",    "vb",    "vc",    "report_rate",       "mag_c2",     "mag_c1",
    "mag_c0", "ph_p2", "ph_p1", "ph_p0", "nominal_frequency", "report_mode",
};

inline constexpr std::array<std::string_view, 7> kOutputColumns = {
    "timestamp", "magnitude", "angle", "frequency", "rocof", "report_strobe", "active_report_rate",
};

#endif  // ORVANE_IO_CSV_CSV_COLUMNS_H
