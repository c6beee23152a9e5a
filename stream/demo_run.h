// The demonstration run: two seconds of a 50.5 Hz three-phase set, peak
// 100, with a 10 % third harmonic, through the 10 kHz model in report mode;
// every sample's outputs to a CSV file, the reports kept for a table.
#ifndef ORVANE_STREAM_DEMO_RUN_H
#define ORVANE_STREAM_DEMO_RUN_H

#include <cstdint>
#include <string>
#include <vector>

#include "model/ports.h"
#include "stream/fault.h"

struct DemoResult {
    // Failed: the model failed; BadInput: the CSV could not be written.
    FaultKind fault = FaultKind::None;
    std::string error;
    std::string modelName;
    uint64_t samples = 0;
    std::vector<ModelOutputs> reports;
};

DemoResult runDemo(int32_t reportRate, const std::string& csvPath);

// The reports as a table: time, magnitude, angle in degrees, frequency,
// ROCOF; a heading line and one line each.
std::string demoTable(const std::vector<ModelOutputs>& reports);

#endif  // ORVANE_STREAM_DEMO_RUN_H
