#include "io/comtrade/comtrade_time.h"

#include <vector>

#include "io/comtrade/comtrade_text.h"

namespace {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

std::vector<std::string_view> splitOn(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t at = s.find(separator, begin);
        if (at == std::string_view::npos) {
            parts.push_back(s.substr(begin));
            return parts;
        }
        parts.push_back(s.substr(begin, at - begin));
        begin = at + 1;
    }
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int64_t digitsValue(std::string_view s) {
    int64_t v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

}  // namespace

int64_t daysFromCivil(int year, int month, int day) {
    // Counts from 1 March so that the leap day falls at the end of a year.
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::optional<CivilTime> parseCivilTime(std::string_view date, std::string_view time, int revision,
                                        std::string& error) {
    const auto dateParts = splitOn(date, '/');
    // Day and month have at most two digits, the year four.
    if (dateParts.size() != 3 || !allDigits(dateParts[0]) || !allDigits(dateParts[1]) || !allDigits(dateParts[2]) ||
        dateParts[0].size() > 2 || dateParts[1].size() > 2 || dateParts[2].size() > 4) {
        error = "date '" + std::string(date) + (revision == 1991 ? "' is not mm/dd/yy" : "' is not dd/mm/yyyy");
        return std::nullopt;
    }
    CivilTime t;
    const bool monthFirst = revision == 1991;
    t.day = static_cast<int>(digitsValue(dateParts[monthFirst ? 1 : 0]));
    t.month = static_cast<int>(digitsValue(dateParts[monthFirst ? 0 : 1]));
    const std::string_view yearText = dateParts[2];
    if (yearText.size() == 2) {
        // Two-digit years of old recorders: 70..99 are 1970..1999.
        const int yy = static_cast<int>(digitsValue(yearText));
        t.year = yy >= 70 ? 1900 + yy : 2000 + yy;
    } else if (yearText.size() == 4) {
        t.year = static_cast<int>(digitsValue(yearText));
    } else {
        error = "year '" + std::string(yearText) + "' has neither two nor four digits";
        return std::nullopt;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month)) {
        error = "date '" + std::string(date) + "' does not exist";
        return std::nullopt;
    }

    const auto timeParts = splitOn(time, ':');
    if (timeParts.size() != 3 || !allDigits(timeParts[0]) || !allDigits(timeParts[1]) || timeParts[0].size() > 2 ||
        timeParts[1].size() > 2) {
        error = "time '" + std::string(time) + "' is not hh:mm:ss.ssssss";
        return std::nullopt;
    }
    std::string_view seconds = timeParts[2];
    std::string_view fraction;
    if (const std::size_t dot = seconds.find('.'); dot != std::string_view::npos) {
        fraction = seconds.substr(dot + 1);
        seconds = seconds.substr(0, dot);
        if (!fraction.empty() && !allDigits(fraction)) seconds = {};
    }
    if (!allDigits(seconds) || seconds.size() > 2 || fraction.size() > 9) {
        error = "time '" + std::string(time) + "' is not hh:mm:ss.ssssss";
        return std::nullopt;
    }
    const int64_t hh = digitsValue(timeParts[0]);
    const int64_t mm = digitsValue(timeParts[1]);
    const int64_t ss = digitsValue(seconds);
    // 60 seconds is a leap second; it runs on into the next minute.
    if (hh > 23 || mm > 59 || ss > 60) {
        error = "time '" + std::string(time) + "' is out of range";
        return std::nullopt;
    }
    t.secondOfDay = hh * 3600 + mm * 60 + ss;
    t.nanoseconds = digitsValue(fraction);
    for (std::size_t i = fraction.size(); i < 9; ++i) t.nanoseconds *= 10;
    t.fractionDigits = static_cast<int>(fraction.size());
    return t;
}

std::optional<int> parseUtcOffset(std::string_view field) {
    field = trimmed(field);
    if (field == "x" || field == "X") return 0;
    int sign = 1;
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
        sign = field.front() == '-' ? -1 : 1;
        field.remove_prefix(1);
    }
    std::string_view hours = field;
    std::string_view minutes;
    if (const std::size_t h = field.find_first_of("hH"); h != std::string_view::npos) {
        hours = field.substr(0, h);
        minutes = field.substr(h + 1);
    }
    if (!allDigits(hours) || hours.size() > 2 || (!minutes.empty() && (!allDigits(minutes) || minutes.size() > 2)))
        return std::nullopt;
    const int64_t h = digitsValue(hours);
    const int64_t m = minutes.empty() ? 0 : digitsValue(minutes);
    if (h > 24 || m > 59) return std::nullopt;
    return sign * static_cast<int>(h * 60 + m);
}

TimeOrigin timeOriginOf(const ComtradeConfig& config) {
    // The recorder's clock runs timeCode ahead of UTC.
    const int64_t recorded = daysFromCivil(config.start.year, config.start.month, config.start.day) * 86400 +
                             config.start.secondOfDay;
    const int64_t utc = recorded - static_cast<int64_t>(config.timeCodeMinutes) * 60;
    TimeOrigin origin;
    origin.utcDay = (utc >= 0 ? utc : utc - 86399) / 86400;
    origin.firstSampleSecond = utc - origin.utcDay * 86400;
    origin.firstSampleNanos = config.start.nanoseconds;
    return origin;
}
