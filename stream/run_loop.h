// Runs the samples of one source through a started block into one sink.
#ifndef ORVANE_STREAM_RUN_LOOP_H
#define ORVANE_STREAM_RUN_LOOP_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host/block_driver.h"
#include "io/output_sink.h"
#include "io/report_quality_tracker.h"
#include "io/sample_source.h"
#include "stream/fault.h"

// Hears, every few thousand samples, how many went through and, when the
// source knows it, the fraction of the input consumed.
using SampleProgress = std::function<void(uint64_t samples, std::optional<double> fraction)>;

// Wall seconds of one run, by where they went: before the first sample
// (opening and checking the input, starting the block, opening the
// outputs), in the source (reading and decoding), in the block's steps (the
// model through its road), in the sink (writing, its finish included), and
// all of it. Beside them the CPU seconds of the block's steps on the running
// thread (what the model costs, whatever else the machine does) and of the
// whole process so far (every thread, as `time` counts it).
struct RunTiming {
    double preparing = 0.0;
    double reading = 0.0;
    double model = 0.0;
    double writing = 0.0;
    double total = 0.0;
    double modelCpu = 0.0;
    double processCpu = 0.0;
    // The run, seen from a caller that entered it at `entered`: what the
    // caller did around the samples counts as preparing.
    void widenSince(std::chrono::steady_clock::time_point entered);
};

struct RunOutcome {
    // Failed: the block or the output failed; BadInput: the samples were bad.
    FaultKind fault = FaultKind::None;
    std::string error;
    uint64_t samples = 0;
    RunTiming timing;
};

// Steps `driver` (already started) once per sample and hands each sample's
// outputs to `sink` (restarting the driver where the source says so), then finishes the driver and, when every sample went
// through, the sink. On any failure the sink is not finished, so a file sink
// leaves nothing behind. `progress` may be empty.
// Samples go through in blocks (a few hundred read, then stepped, then
// written) so that the clock is read a few times per block, not per sample;
// results, messages and the sample a failure names are those of going
// sample by sample.
// Each sample's quality word, made by `quality` from the source's word,
// its restarts and the outputs, goes to the sink before the sample.
RunOutcome runSamples(SampleSource& source, BlockDriver& driver, OutputSink& sink, const SampleProgress& progress = {},
                      ReportQualityTracker quality = {});

// The sample's time as the messages show it: 17 significant digits.
std::string describeTime(double time);

// "SOURCE: the block WHAT at sample N (time T): WHY", for a block that
// failed at the sample numbered `sample` (from 1); `what` is "stopped" or
// "did not start again".
std::string describeBlockFailure(const std::string& source, const char* what, uint64_t sample, double time,
                                 const std::string& why);

// "preparing P s, reading X s, model Y s, writing Z s, total T s (T/Y times
// the model's); CPU: model y s, process c s (the total is T/y times the
// model's CPU, the process's CPU c/y times it)".
std::string describeTiming(const RunTiming& timing);

#endif  // ORVANE_STREAM_RUN_LOOP_H
