// Several input files run at once, each in its own process with its own
// model instance, so that a file that fails (even one that crashes the
// block) never stops or corrupts the others. The child tells the parent how
// far it got over a pipe.
#ifndef ORVANE_STREAM_FILE_BATCH_H
#define ORVANE_STREAM_FILE_BATCH_H

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "stream/file_run.h"

struct FileJob {
    InputFile input;
    enum class State { Waiting, Running, Done } state = State::Waiting;
    pid_t pid = -1;
    int fd = -1;
    std::string pending;  // bytes of an unfinished line from the child
    uint64_t done = 0;    // samples so far
    std::optional<double> fraction;
    bool reported = false;  // the child sent its result
    FaultKind fault = FaultKind::None;
    uint64_t samples = 0;
    std::string buildTag;
    std::string error;
    std::chrono::steady_clock::time_point started;
    double seconds = 0.0;
};

// Hears the jobs after every change; `final` on the last call.
using BatchProgress = std::function<void(const std::vector<FileJob>& jobs, bool final)>;

// One job per input, whose output goes to DIR/STEM.out EXTENSION; false,
// with `error` naming both inputs, when two would write the same file.
bool planFileJobs(const std::vector<InputFile>& inputs, const std::string& dir, const std::string& extension,
                  std::vector<FileJob>& jobs, std::string& error);

// Runs every job, up to `parallel` at a time. Returns None when every
// file succeeded, else the worst fault of a failed one.
FaultKind runFileBatch(std::vector<FileJob>& jobs, const FileRunSettings& settings, std::size_t parallel,
                 const BatchProgress& progress);

#endif  // ORVANE_STREAM_FILE_BATCH_H
