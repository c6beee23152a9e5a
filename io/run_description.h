// What a run was, for the outputs that describe themselves (HDF5
// attributes, a plot's heading, a COMTRADE station line): the model, its
// rate, the road to it, the input and the absolute time base.
#ifndef ORVANE_IO_RUN_DESCRIPTION_H
#define ORVANE_IO_RUN_DESCRIPTION_H

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

// "2026-12-08T20:31:07.123456789Z" for `seconds` since 1970 UTC (leap
// seconds not counted).
std::string utcText(double seconds);

#endif  // ORVANE_IO_RUN_DESCRIPTION_H
