// The soak: hours of simulated time through one model instance. A steady
// 100-peak three-phase signal whose frequency wanders slowly around 50 Hz
// runs through the model in report mode; every report is compared with the
// signal's exact phasor. Per interval the worst TVE, FE and RFE, the
// reports, the reports off the grid of whole fractions of a second and the
// samples with a non-finite output. A long run must measure as well at its
// end as in its first interval and never give a non-finite output on this
// finite signal.
#ifndef ORVANE_COMPLIANCE_SOAK_H
#define ORVANE_COMPLIANCE_SOAK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/block_driver.h"

inline constexpr double kSoakNominalFrequency = 50.0;
inline constexpr double kSoakAmplitude = 100.0;

struct SoakSettings {
    double hours = 24.0;
    double interval = 3600.0;  // s of simulated time per row
    double base = 0.0;         // the block's Time of the first sample
    int32_t reportRate = 50;
    double wander = 0.1;          // Hz, peak deviation from 50 Hz
    double wanderPeriod = 600.0;  // s
    double settle = 1.0;          // s at the start left out of the errors
};

// The time base named `text` (zero, now, 2e9 or whole seconds) for a run of
// `hours`; false, with `error` set, when it is none of them.
bool soakTimeBase(const std::string& text, double hours, double& base, std::string& error);

// False, with `error` naming the option, when a setting is out of range.
bool checkSoakSettings(const SoakSettings& settings, std::string& error);

uint64_t soakSampleCount(const SoakSettings& settings, double sampleRate);

struct SoakInterval {
    double startTime = 0.0;  // the block's Time at the interval's start
    uint64_t reports = 0;
    uint64_t offGrid = 0;
    uint64_t nonFinite = 0;
    double worstTve = 0.0;
    double worstFe = 0.0;
    double worstRfe = 0.0;
    double worstTveAt = 0.0;  // Time of the worst TVE report
};

struct SoakResult {
    std::vector<SoakInterval> rows;
    uint64_t offGrid = 0;
    // Set when the block stopped: the run is cut short.
    std::string blockError;
    bool passed = false;
    std::string verdict;  // "passed: ..." or "FAILED: ..."
};

struct SoakObserver {
    std::function<void(std::size_t index, const SoakInterval& row)> row;
    std::function<void(uint64_t samples, double fraction)> progress;
};

// Runs the soak on `driver` (already started) at the build's rate and
// period.
SoakResult runSoak(const SoakSettings& settings, BlockDriver& driver, double sampleRate, double samplePeriod,
                   const SoakObserver& observer);

#endif  // ORVANE_COMPLIANCE_SOAK_H
