// printf's "%.17g" of a double, the form every CSV output number takes,
// without the general-purpose formatter for the usual magnitudes: the
// 17-digit decimal is computed exactly in 128-bit integer arithmetic.
#ifndef ORVANE_IO_CSV_GENERAL17_H
#define ORVANE_IO_CSV_GENERAL17_H

// Writes the "%.17g" text of `value` at `out` (no NUL, at most 24 bytes) and
// returns its end, or returns null without writing when `value` lies outside
// what this handles: zero, subnormal, not finite, below 1e-6 or from 1e17 in
// magnitude.
char* formatGeneral17(char* out, double value);

#endif  // ORVANE_IO_CSV_GENERAL17_H
