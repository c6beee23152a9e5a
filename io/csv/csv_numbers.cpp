#include "io/csv/csv_numbers.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>

bool parseCsvDouble(const char* field, const char* end, double& value) {
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
    // The general format with precision 17 is printf's %.17g, without the
    // locale and the format-string parsing.
    return std::to_chars(out, out + kMaxCsvDoubleLength, value, std::chars_format::general, 17).ptr;
}

char* formatCsvInt32(char* out, int32_t value) {
    return std::to_chars(out, out + 11, value).ptr;
}
