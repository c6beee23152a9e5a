#include "io/csv/csv_numbers.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "io/csv/general17.h"

namespace {

// A plain decimal number: an optional minus sign, then a digit or a point.
// Only these take the fast road; blanks, plus signs, hexadecimal forms,
// nan (with its payload) and inf go to strtod.
bool plainDecimal(const char* field, const char* end) {
    const char* p = field != end && *field == '-' ? field + 1 : field;
    return p != end && ((*p >= '0' && *p <= '9') || *p == '.');
}

}  // namespace

bool parseCsvDouble(const char* field, const char* end, double& value) {
    // from_chars rounds a decimal number correctly, as strtod does, so a
    // number it reads to the end of the field has strtod's bits; anything
    // else it stops at or cannot represent (overflow, underflow) is left to
    // strtod, which decides as before.
    if (plainDecimal(field, end)) {
        double fast = 0.0;
        const std::from_chars_result r = std::from_chars(field, end, fast);
        if (r.ec == std::errc() && r.ptr == end) {
            value = fast;
            return true;
        }
    }
    char* parsedEnd = nullptr;
    // Overflow and underflow are not refused: strtod's infinity or
    // subnormal is the value the file stands for.
    const double parsed = std::strtod(field, &parsedEnd);
    if (parsedEnd == field || parsedEnd != end) return false;
    value = parsed;
    return true;
}

IntegerParse parseCsvInt32(const char* field, const char* end, int32_t& value) {
    char* parsedEnd = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(field, &parsedEnd, 10);
    if (parsedEnd == field || parsedEnd != end) return IntegerParse::NotAnInteger;
    if (errno == ERANGE || parsed < std::numeric_limits<int32_t>::min() ||
        parsed > std::numeric_limits<int32_t>::max()) {
        return IntegerParse::OutOfRange;
    }
    value = static_cast<int32_t>(parsed);
    return IntegerParse::Ok;
}

char* formatCsvDouble(char* out, double value) {
    // The usual magnitudes take the exact integer road (twice as fast);
    // the rest the library's general format with precision 17, which is
    // printf's %.17g without the locale and the format-string parsing.
    if (char* end = formatGeneral17(out, value)) return end;
    return std::to_chars(out, out + kMaxCsvDoubleLength, value, std::chars_format::general, 17).ptr;
}

char* formatCsvInt32(char* out, int32_t value) {
    return std::to_chars(out, out + 11, value).ptr;
}
