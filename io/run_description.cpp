#include "io/run_description.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "unknown"
#endif

const char* orvaneVersion() { return ORVANE_VERSION; }

UtcInstant utcInstant(double base, double offset) {
    const double baseWhole = std::floor(base);
    const double offsetWhole = std::floor(offset);
    int64_t total = static_cast<int64_t>(baseWhole) + static_cast<int64_t>(offsetWhole);
    int64_t nanoseconds = std::llround(((base - baseWhole) + (offset - offsetWhole)) * 1e9);
    while (nanoseconds >= 1000000000) {
        nanoseconds -= 1000000000;
        ++total;
    }
    int64_t days = total / 86400;
    int64_t secondOfDay = total % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // Days since 1970 to a civil date (proleptic Gregorian calendar).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return UtcInstant{year, month, day, secondOfDay, nanoseconds};
}

std::string utcText(double base, double offset) {
    if (!std::isfinite(base) || !std::isfinite(offset)) return "unknown";
    const UtcInstant t = utcInstant(base, offset);
    char text[160];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%09lldZ", static_cast<long long>(t.year),
                  static_cast<long long>(t.month), static_cast<long long>(t.day),
                  static_cast<long long>(t.secondOfDay / 3600), static_cast<long long>(t.secondOfDay / 60 % 60),
                  static_cast<long long>(t.secondOfDay % 60), static_cast<long long>(t.nanoseconds));
    return text;
}
