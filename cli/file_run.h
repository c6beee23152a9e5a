// One input file of `orvane run` (a sample CSV or a COMTRADE recording)
// through one model instance into one output CSV: what the batch runner does
// per file, and what a single --comtrade run does.
#ifndef ORVANE_CLI_FILE_RUN_H
#define ORVANE_CLI_FILE_RUN_H

#include <cstdint>
#include <functional>
#include <string>

#include "cli/command_options.h"
#include "cli/driver_factory.h"
#include "io/comtrade/comtrade_recording.h"
#include "model/ports.h"

class ProgressMeter;

struct InputFile {
    std::string path;
    bool comtrade = false;
    std::string outputPath;  // "" or "-" for standard output
};

struct FileRunSettings {
    // "10k", "14p4k", "4k" or "auto" (the recording's rate or the next
    // build above it).
    std::string buildTag = "10k";
    DriverChoice driver;
    ComtradeReadOptions comtrade;
    bool reportsOnly = false;
    // Bridge short gaps of missing samples (always done for recordings).
    bool bridgeGaps = false;
    // The output's `quality` column.
    bool quality = false;
    // Configuration ports of every sample of a COMTRADE run.
    ModelInputs ports;
    // The NominalFrequency port came from the command line; otherwise a
    // recording's line frequency (50 or 60 Hz) is used.
    bool nominalFrequencyGiven = false;
    // The options, for the synchrophasor frame output of a single run.
    const CommandOptions* options = nullptr;
    // Output format by name ("" for by extension), and the command line the
    // self-describing outputs record.
    std::string format;
    std::string commandLine;
};

struct FileOutcome {
    // 0 success, 1 the block or the output failed, 2 bad input.
    int exitStatus = 0;
    std::string error;
    uint64_t samples = 0;
    std::string buildTag;
};

// The build for a recording at `rate` Hz: the one at that rate or the
// nearest above it, and the fastest for anything faster.
std::string buildTagForRate(double rate);

// Reads the configuration-port options (--report-rate, --nominal-frequency,
// --report-mode, --magnitude-coeffs, --phase-coeffs) into `settings`.
bool readPortOptions(const CommandOptions& options, FileRunSettings& settings, std::string& error);

// Runs the file. `progress` (may be empty) is called every few thousand
// samples with the samples done and the total, when known (else 0);
// `meter`, when not null, shows progress on the terminal.
FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings,
                         const std::function<void(uint64_t, uint64_t)>& progress, ProgressMeter* meter);

#endif  // ORVANE_CLI_FILE_RUN_H
