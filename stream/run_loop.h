// Runs the samples of one source through a started block into one sink.
#ifndef ORVANE_STREAM_RUN_LOOP_H
#define ORVANE_STREAM_RUN_LOOP_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host/block_driver.h"
#include "io/output_sink.h"
#include "io/sample_source.h"

// Hears, every few thousand samples, how many went through and, when the
// source knows it, the fraction of the input consumed.
using SampleProgress = std::function<void(uint64_t samples, std::optional<double> fraction)>;

struct RunOutcome {
    // 0 success, 1 the block or the output failed, 2 the samples were bad.
    int exitStatus = 0;
    std::string error;
    uint64_t samples = 0;
};

// Steps `driver` (already started) once per sample and hands each sample's
// outputs to `sink` (restarting the driver where the source says so), then finishes the driver and, when every sample went
// through, the sink. On any failure the sink is not finished, so a file sink
// leaves nothing behind. `progress` may be empty.
RunOutcome runSamples(SampleSource& source, BlockDriver& driver, OutputSink& sink, const SampleProgress& progress = {});

// The sample's time as the messages show it: 17 significant digits.
std::string describeTime(double time);

#endif  // ORVANE_STREAM_RUN_LOOP_H
