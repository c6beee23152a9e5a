// Dates, times of day and UTC offsets as COMTRADE writes them, and the time
// base the measurement block's `Time` input counts in: seconds since UTC
// midnight of the day on which the recording starts. That origin keeps the
// whole seconds small (far from the block's +-2e9 limit) and the fraction of
// a second exact, so report instants fall on true fractions of a UTC second;
// the day is kept so that absolute times (seconds since 1970) can be formed.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_TIME_H
#define ORVANE_IO_COMTRADE_COMTRADE_TIME_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "io/comtrade/comtrade_config.h"

// Parses a date and a time-of-day field: dd/mm/yyyy for revisions from 1999,
// mm/dd/yy (or yyyy) for 1991; hh:mm:ss with an optional fraction of up to
// nine digits. Empty `error` on success, else what is wrong.
std::optional<CivilTime> parseCivilTime(std::string_view date, std::string_view time, int revision,
                                        std::string& error);

// A UTC offset like "-5h30", "+1", "0" or "10h", in minutes. "x" (not used)
// reads as 0.
std::optional<int> parseUtcOffset(std::string_view field);

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t daysFromCivil(int year, int month, int day);

struct TimeOrigin {
    int64_t utcDay = 0;              // days since 1970-01-01 of the origin (UTC midnight)
    int64_t firstSampleSecond = 0;   // whole seconds from the origin to the first sample
    int64_t firstSampleNanos = 0;    // and the fraction, in ns
    // The block's `Time` of a sample `elapsed` seconds after the first one.
    double timeOf(double elapsed) const {
        return static_cast<double>(firstSampleSecond) + (static_cast<double>(firstSampleNanos) / 1e9 + elapsed);
    }
    // Seconds since 1970-01-01 UTC of the origin, for absolute timestamps.
    int64_t epochSecondsOfOrigin() const { return utcDay * 86400; }
};

// The origin of a recording: its start time moved to UTC by the time code,
// then split into the UTC day and the time since that day's midnight.
TimeOrigin timeOriginOf(const ComtradeConfig& config);

#endif  // ORVANE_IO_COMTRADE_COMTRADE_TIME_H
