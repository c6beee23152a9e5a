// Reading and writing the numbers of the CSV files. Doubles are read the way
// strtod reads them (so nan, inf and -inf are accepted, and hexadecimal
// forms) and written with 17 significant digits, which reads back to the
// same bits; a NaN is written as nan or -nan after its sign bit.
#ifndef ORVANE_IO_CSV_CSV_NUMBERS_H
#define ORVANE_IO_CSV_CSV_NUMBERS_H

#include <cstdint>

// Both parsers take a field that ends with a NUL at `end` and accept it only
// when the number fills it completely (leading blanks are skipped, as strtod
// does; anything after the number is refused).
bool parseCsvDouble(const char* field, const char* end, double& value);

enum class IntegerParse { Ok, NotAnInteger, OutOfRange };
IntegerParse parseCsvInt32(const char* field, const char* end, int32_t& value);

// Longest text formatCsvDouble writes ("-2.2250738585072014e-308").
inline constexpr int kMaxCsvDoubleLength = 24;

// Writes the text of `value` at `out` (no NUL) and returns the end.
char* formatCsvDouble(char* out, double value);
char* formatCsvInt32(char* out, int32_t value);

#endif  // ORVANE_IO_CSV_CSV_NUMBERS_H
