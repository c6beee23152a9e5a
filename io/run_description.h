// What a run was, for the outputs that describe themselves (HDF5
// attributes, a plot's heading, a COMTRADE station line): the model, its
// rate, the road to it, the input and the absolute time base.
#ifndef ORVANE_IO_RUN_DESCRIPTION_H
#define ORVANE_IO_RUN_DESCRIPTION_H

#include <cstdint>
#include <string>

struct RunDescription {
    std::string model;        // "Orvane_10kHz"
    std::string build;        // "10k"
    double sampleRate = 0.0;  // Hz
    std::string deliverable;  // the deliverable's path, or "in-process"
    std::string input;        // "file fault.cfg", "signal phase-step"
    std::string commandLine;  // the tool's arguments as given
    // Seconds from 1970-01-01 00:00 UTC to the instant where the block's
    // Time input is 0: 0 when Time is itself seconds since 1970 (CSV input,
    // built-in signals), a recording's UTC midnight for COMTRADE input.
    double epochOfTimeZero = 0.0;
};

// The tool's version, as the build system stamps it.
const char* orvaneVersion();

// "2026-12-08T20:31:07.123456789Z" for `base` + `offset` seconds since 1970
// UTC (leap seconds not counted). The two are split into whole seconds and
// fraction before they are added, so a time of day keeps its nanoseconds
// beside an epoch of 1.7e9 s (where a double resolves only 0.24 µs).
std::string utcText(double base, double offset = 0.0);

// The same instant as a civil date, second of day and nanoseconds.
struct UtcInstant {
    int64_t year, month, day, secondOfDay, nanoseconds;
};
UtcInstant utcInstant(double base, double offset = 0.0);

#endif  // ORVANE_IO_RUN_DESCRIPTION_H
