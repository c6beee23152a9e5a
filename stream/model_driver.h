// Which driver steps the measurement model for a run: the build's
// deliverable loaded from its file and called through mexFunction, another
// deliverable file, or the model's methods linked into the program.
#ifndef ORVANE_STREAM_MODEL_DRIVER_H
#define ORVANE_STREAM_MODEL_DRIVER_H

#include <memory>
#include <string>

#include "host/block_driver.h"
#include "io/report_quality_tracker.h"
#include "model/model_entry.h"

// The model linked in for the build with this tag ("10k", "14p4k" or
// "4k"), or null; and that build's constants.
const ModelEntry* entryByTag(const std::string& tag);
const SampleRateBuild* buildByTag(const std::string& tag);

// The quality tracker of a run of `build`: its start-up span is the one of
// that build's filters (see qualityTrackerFor in model_driver.cpp).
ReportQualityTracker qualityTrackerFor(const SampleRateBuild& build);
// The same for a stream at `sampleRate`; a rate no build has gets the
// longest span of the builds at that rate's delay-line length.
ReportQualityTracker qualityTrackerFor(double sampleRate);

struct DriverChoice {
    std::string buildTag = "10k";
    // A deliverable to load instead of the built one of the build's rate.
    std::string deliverablePath;
    // Run the model's methods linked into the program instead of a deliverable.
    bool inProcess = false;
};

// The built deliverable with this file name, found next to the running
// executable (both land in the build directory), else in ../lib/orvane
// from the executable's folder (an installed or unpacked package).
std::string builtDeliverablePath(const std::string& fileName);

// Null, with `error` set, when the driver cannot be made (unknown build,
// deliverable that does not load).
std::unique_ptr<BlockDriver> makeDriver(const DriverChoice& choice, std::string& error);

// After start(): false, with `error` set, when a deliverable registered a
// sample time other than the build's period (a 10 kHz deliverable driven
// with --build 4k would read every sample at the wrong rate).
bool checkDriverRate(BlockDriver& driver, const DriverChoice& choice, const SampleRateBuild& build,
                     std::string& error);

#endif  // ORVANE_STREAM_MODEL_DRIVER_H
