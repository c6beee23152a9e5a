// Each build's reporting capacity: the report rates at which the block
// produces every report instant after start-up. The block raises its strobe
// only while its timestamp advances by less than a quarter of the report
// interval in one sample step, so a build whose sample period is not below
// a quarter of the interval skips instants (the 4 kHz build from 1000 reports
// per second on). The figures are measured by
// tests/model/reporting_capacity_test.cpp, which sweeps every rate.
#ifndef ORVANE_IO_REPORTING_CAPACITY_H
#define ORVANE_IO_REPORTING_CAPACITY_H

#include <cstdint>
#include <string>

// The highest report rate (reports per second, 1..1200) at which the build
// of sample rate `sampleRate` (Hz) produces every report instant.
int32_t reportingCapacity(double sampleRate);

// Empty when `reportRate` is within the build's capacity; otherwise one
// sentence naming the build, the rate and the limit, for a refusal.
std::string reportingCapacityProblem(double sampleRate, int32_t reportRate);

// Within the capacity, the timestamp's step grows while the tuning follows
// a moving frequency or a channel hands over after a step, so near the
// limit some instants are still skipped then. The highest rate at which the
// quick compliance plan (ramps, modulation, steps) loses no report; and,
// above it, one sentence for a warning (empty otherwise).
int32_t reportingCapacityUnderChange(double sampleRate);
std::string reportingCapacityCaution(double sampleRate, int32_t reportRate);

#endif  // ORVANE_IO_REPORTING_CAPACITY_H
