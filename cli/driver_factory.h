// Which block driver a command runs the measurement model with.
#ifndef ORVANE_CLI_DRIVER_FACTORY_H
#define ORVANE_CLI_DRIVER_FACTORY_H

#include <memory>
#include <string>

#include "builds/sample_rate_build.h"
#include "cli/command_options.h"
#include "host/block_driver.h"

// The build with this tag ("10k", "14p4k" or "4k"), or null.
const SampleRateBuild* buildByTag(const std::string& tag);

struct DriverChoice {
    std::string buildTag = "10k";
    // A deliverable to load instead of the built one of the build's rate.
    std::string deliverablePath;
    // Run the model's methods linked into the tool instead of a deliverable.
    bool inProcess = false;
};

// The built deliverable with this file name, found next to the orvane
// executable (both land in the build directory).
std::string builtDeliverablePath(const std::string& fileName);

// The road options the commands that run the model share: --build TAG
// (default 10k), --deliverable PATH and --in-process. False, with `error`
// set, when both roads are asked for.
bool readDriverChoice(const CommandOptions& options, DriverChoice& choice, std::string& error);

// Null, with `error` set, when the driver cannot be made (unknown build,
// deliverable that does not load).
std::unique_ptr<BlockDriver> makeDriver(const DriverChoice& choice, std::string& error);

// After start(): false, with `error` set, when a deliverable registered a
// sample time other than the build's period (a 10 kHz deliverable driven
// with --build 4k would read every sample at the wrong rate).
bool checkDriverRate(BlockDriver& driver, const DriverChoice& choice, const SampleRateBuild& build,
                     std::string& error);

#endif  // ORVANE_CLI_DRIVER_FACTORY_H
