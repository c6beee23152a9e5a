// One input of `orvane run` (a sample CSV, a COMTRADE recording or a
// built-in signal) through one model instance into its outputs: what the
// batch runner does per file, and what a single run does.
#ifndef ORVANE_STREAM_FILE_RUN_H
#define ORVANE_STREAM_FILE_RUN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_recording.h"
#include "io/input_checks.h"
#include "io/csv/csv_sample_reader.h"
#include "io/run_summary.h"
#include "model/ports.h"
#include "signals/built_in_signals.h"
#include "io/sv/sv_stream.h"
#include "stream/model_road.h"
#include "stream/run_loop.h"

struct InputFile {
    std::string path;
    bool comtrade = false;
    std::string outputPath;  // "" or "-" for standard output
    bool svCapture = false;  // a capture of sampled-values frames
};

// Every file the inputs read: a recording's .cfg and .dat (or .cff), a
// CSV or capture itself.
std::vector<std::string> filesRead(const std::vector<InputFile>& inputs);

struct FileRunSettings {
    // "10k", "14p4k", "4k" or "auto" (the recording's rate or the next
    // build above it).
    std::string buildTag = "10k";
    DriverChoice driver;
    ComtradeReadOptions comtrade;
    // Which sampled-values stream of a capture, and its phase channels.
    SvStreamOptions sv;
    bool reportsOnly = false;
    // Bridge short gaps of missing samples in a sample CSV (always done for
    // recordings).
    bool bridgeGaps = false;
    // The output's `quality` column.
    bool quality = false;
    // Output format by name ("" for by extension), a plot page beside the
    // main output ("" for none), and the command line the self-describing
    // outputs record.
    std::string format;
    std::string plotPath;
    std::string commandLine;
    // Configuration ports of every sample of a recording, a capture or a
    // plain three-phase CSV.
    ModelInputs ports;
    // Some port option was given (a sample CSV of thirteen columns, which
    // carries its ports, refuses them).
    bool portsGiven = false;
    // The NominalFrequency port came from the command line; otherwise a
    // recording's line frequency (50 or 60 Hz) is used.
    bool nominalFrequencyGiven = false;
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


// What the outputs and messages say of a source.
struct SourceFacts {
    std::string description;  // "file X", "recording X", "signal NAME"
    // Seconds from 1970 to the source's time origin (the frames' time base).
    double epochShift = 0.0;
    // The line printed before the run, when its input is set.
    RunSummary summary;
    // The input's sample rate (Hz, 0 when it has none of its own: a
    // signal) and how it was found ("the configuration's rates", "mean of
    // 10000 steps over the first 1 s, whole hertz").
    double inputRate = 0.0;
    std::string rateHow;
    // The recorder's clock quality code (0 locked ... 0xF unreliable), -1
    // when the input does not say.
    int clockQuality = -1;
};

// Opens the recording `path` and prepares it for the build `buildTag`
// ("auto": the one for the recording's rate, written back), with the
// configuration ports of `settings` and the recording's line frequency when
// none was given. The recording's own warnings go to standard error.
// `facts` receives its description, the seconds from 1970 to its time
// origin and its part of the run summary. Null, with `error` set, on a bad
// recording.
std::unique_ptr<SampleSource> openRecording(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, SourceFacts& facts, std::string& error);

// Opens the sample CSV `path` (thirteen columns, or plain three-phase with
// the ports and --phases of `settings`) for the build `buildTag` ("auto":
// the one for the file's rate, written back): its rate is found from the
// times of its first second and checked against the build's; a file at
// another rate is resampled under "auto" and refused otherwise. `csv`
// receives the reader when the file is read directly (for its warnings).
std::unique_ptr<SampleSource> openSampleCsv(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, SourceFacts& facts, CsvSampleReader*& csv,
                                            std::string& error);

// Runs the file, telling `progress` (may be empty) how far it got.
// Warnings about the input and, for recordings and --build auto, a line
// saying what the run uses go to standard error.
FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress);


// Runs the built-in signal `name`, shaped by `shape`, at the build of
// `settings` into the outputs at `outputPath`. The build must be a named
// one: a signal has no rate of its own.
FileOutcome runSignal(const std::string& name, const SignalShape& shape, const std::string& outputPath,
                      const FileRunSettings& settings, const SampleProgress& progress);

// Runs `source` through the build and road of `choice` into the outputs at
// `outputPath` ("" or "-": standard output) and, when asked, a frame file.
FileOutcome runSource(SampleSource& source, const DriverChoice& choice, const std::string& outputPath,
                      const FileRunSettings& settings, const SourceFacts& facts, const SampleProgress& progress);

#endif  // ORVANE_STREAM_FILE_RUN_H
