// One input of `orvane run` (any kind of the input table) through one model
// instance into its outputs: what the batch runner does per file, and what
// a single run does.
#ifndef ORVANE_STREAM_FILE_RUN_H
#define ORVANE_STREAM_FILE_RUN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/run_summary.h"
#include "model/ports.h"
#include "stream/input_table.h"
#include "stream/model_driver.h"
#include "stream/run_loop.h"

// One input file of `orvane run` and where its outputs go.
struct InputFile {
    std::string path;
    const InputKind* kind = nullptr;  // of the input table
    std::string outputPath;           // "" or "-" for standard output
};

// Every file the inputs read: a recording's .cfg and .dat (or .cff), a
// CSV or capture itself.
std::vector<std::string> filesRead(const std::vector<InputFile>& inputs);

// How the inputs are read (InputSettings) and how a run goes.
struct FileRunSettings : InputSettings {
    // "10k", "14p4k", "4k" or "auto" (the input's rate or the next build
    // above it).
    std::string buildTag = "10k";
    DriverChoice driver;
    bool reportsOnly = false;
    // The output's `quality` column.
    bool quality = false;
    // Output format by name ("" for by extension), a plot page beside the
    // main output ("" for none), and the command line the self-describing
    // outputs record.
    std::string format;
    std::string plotPath;
    std::string commandLine;
    // A file for the reports as synchrophasor frames ("" for none), and
    // the stream's IDCODE.
    std::string framesPath;
    uint16_t idCode = 1;
};

struct FileOutcome {
    // Failed: the block or the output failed; BadInput: bad input.
    FaultKind fault = FaultKind::None;
    std::string error;
    uint64_t samples = 0;
    std::string buildTag;
    // What the input went through, for the user (a capture's losses).
    std::vector<std::string> notes;
    // Where the run's time went (see RunTiming).
    RunTiming timing;
};


// Runs the file, opened through the input table, telling `progress` (may
// be empty) how far it got. Warnings about the input and, for recordings
// and --build auto, a line saying what the run uses go to standard error.
FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress);


// Runs the built-in signal `name`, shaped by `settings.shape`, at the build
// of `settings` into the outputs at `outputPath`. The build must be a named
// one: a signal has no rate of its own.
FileOutcome runSignal(const std::string& name, const std::string& outputPath, const FileRunSettings& settings,
                      const SampleProgress& progress);

// Runs `source` through the build and road of `choice` into the outputs at
// `outputPath` ("" or "-": standard output) and, when asked, a frame file.
FileOutcome runSource(SampleSource& source, const DriverChoice& choice, const std::string& outputPath,
                      const FileRunSettings& settings, const SourceFacts& facts, const SampleProgress& progress);

#endif  // ORVANE_STREAM_FILE_RUN_H
