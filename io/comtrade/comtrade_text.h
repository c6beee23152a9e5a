// Line and field handling shared by the .cfg and ASCII .dat readers:
// CR/LF or LF line ends, a trailing end-of-file mark (0x1A), spaces next to
// commas, and numbers read with '.' as the decimal point whatever the locale.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_TEXT_H
#define ORVANE_IO_COMTRADE_COMTRADE_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines of `text`, line ends removed. A final 0x1A and an empty last line
// after the final line end are dropped.
std::vector<std::string_view> splitLines(std::string_view text);

// Comma-separated fields with surrounding spaces and tabs removed.
std::vector<std::string_view> splitFields(std::string_view line);
// The same into `fields` (cleared first), which keeps its storage from line
// to line.
void splitFieldsInto(std::string_view line, std::vector<std::string_view>& fields);

std::string_view trimmed(std::string_view s);

// Whole-field parses; nullopt unless the entire field is the number.
std::optional<double> parseReal(std::string_view field);
std::optional<int64_t> parseInteger(std::string_view field);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

#endif  // ORVANE_IO_COMTRADE_COMTRADE_TEXT_H
