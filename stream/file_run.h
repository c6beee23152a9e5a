// One input file of `orvane run` (a sample CSV or a COMTRADE recording)
// through one model instance into one output CSV: what the batch runner does
// per file, and what a single --comtrade run does.
#ifndef ORVANE_STREAM_FILE_RUN_H
#define ORVANE_STREAM_FILE_RUN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/port_values.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/sv/sv_stream.h"
#include "stream/model_road.h"
#include "stream/run_loop.h"

struct InputFile {
    std::string path;
    bool comtrade = false;
    std::string outputPath;  // "" or "-" for standard output
    bool svCapture = false;  // a capture of sampled-values frames
};

struct FileRunSettings {
    // "10k", "14p4k", "4k" or "auto" (the recording's rate or the next
    // build above it).
    std::string buildTag = "10k";
    DriverChoice driver;
    ComtradeReadOptions comtrade;
    // Which sampled-values stream of a capture, and its phase channels.
    SvStreamOptions sv;
    bool reportsOnly = false;
    // Configuration ports of every sample of a COMTRADE run.
    ModelInputs ports;
    // The NominalFrequency port came from the command line; otherwise a
    // recording's line frequency (50 or 60 Hz) is used.
    bool nominalFrequencyGiven = false;
    // A file for the reports as synchrophasor frames ("" for none), and
    // the stream's IDCODE.
    std::string framesPath;
    uint16_t idCode = 1;
};

struct FileOutcome {
    // 0 success, 1 the block or the output failed, 2 bad input.
    int exitStatus = 0;
    std::string error;
    uint64_t samples = 0;
    std::string buildTag;
    // What the input went through, for the user (a capture's losses).
    std::vector<std::string> notes;
};

// The build for a recording at `rate` Hz: the one at that rate or the
// nearest above it, and the fastest for anything faster.
std::string buildTagForRate(double rate);

// Opens the recording `path` and prepares it for the build `buildTag`
// ("auto": the one for the recording's rate, written back), with the
// configuration ports of `settings` and the recording's line frequency when
// none was given. `epochShift` receives the seconds from 1970 to the
// recording's time origin. Null, with `error` set, on a bad recording.
std::unique_ptr<SampleSource> openRecording(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, double& epochShift, std::string& error);

// Runs the file, telling `progress` (may be empty) how far it got.
FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress);

// Runs `source` through the build and road of `choice` into the CSV
// `outputPath` ("" or "-": standard output) and, when asked, a frame file
// whose times are moved by `epochShift`.
FileOutcome runSource(SampleSource& source, const DriverChoice& choice, const std::string& outputPath,
                      const FileRunSettings& settings, double epochShift, const SampleProgress& progress);

#endif  // ORVANE_STREAM_FILE_RUN_H
