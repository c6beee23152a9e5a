// The quality word of a report: why a figure may not be trusted, one bit
// per reason. Every output that carries reports carries this word: the
// C37.118.2 STAT, the CSV's `quality` column, the HDF5 `quality` dataset,
// the COMTRADE output's status channels, the Python results, the plot page
// and the live view. A word of 0 is a measurement with nothing against it.
#ifndef ORVANE_IO_REPORT_QUALITY_H
#define ORVANE_IO_REPORT_QUALITY_H

#include <cstdint>

using ReportQuality = uint16_t;

// The filters are still filling since the block started (or started
// again): the figure is a start-up value.
inline constexpr ReportQuality kQualityStartUp = 1u << 0;
// The report rests on samples the gap bridge estimated, within the span
// the bridge is proven for: usable, but modified ("data modified").
inline constexpr ReportQuality kQualityBridged = 1u << 1;
// The report rests on missing input, or on a gap longer than the bridge's
// proven span.
inline constexpr ReportQuality kQualityMissing = 1u << 2;
// The block was started afresh after an outage; its filters are filling.
inline constexpr ReportQuality kQualityRestarted = 1u << 3;
// A value of the report, or an input it rests on, is not finite.
inline constexpr ReportQuality kQualityNonFinite = 1u << 4;
// The block's input is absent (a stream that stopped).
inline constexpr ReportQuality kQualityAbsent = 1u << 5;
// The input's time is not traceable to UTC.
inline constexpr ReportQuality kQualityUnsynchronised = 1u << 6;

// The reasons that make a figure unusable ("do not use"); bridging within
// the proven span and an unsynchronised clock are told, not refused.
inline constexpr ReportQuality kQualityDoNotUseMask =
    kQualityStartUp | kQualityMissing | kQualityRestarted | kQualityNonFinite | kQualityAbsent;

inline constexpr bool qualityDoNotUse(ReportQuality q) { return (q & kQualityDoNotUseMask) != 0; }

// One name per bit, lowest first, as files and messages spell them.
inline constexpr const char* kQualityBitNames[] = {"start-up",   "bridged", "missing",        "restarted",
                                                   "non-finite", "absent",  "unsynchronised"};
inline constexpr int kQualityBitCount = 7;

#endif  // ORVANE_IO_REPORT_QUALITY_H
