#include "stream/run_loop.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

// Samples per block: their inputs and outputs (about 40 KiB) stay in cache
// between reading, stepping and writing.
constexpr std::size_t kBlockSamples = 256;

struct Block {
    ModelInputs in[kBlockSamples];
    ModelOutputs out[kBlockSamples];
    ReportQuality quality[kBlockSamples];  // the source's word, then the whole word
    bool restarts[kBlockSamples];  // the block starts afresh at this sample
};

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double cpuSeconds(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

std::string describeTime(double time) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", time);
    return text;
}

void RunTiming::widenSince(Clock::time_point entered) {
    const double whole = secondsBetween(entered, Clock::now());
    preparing += whole - total;
    total = whole;
    processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

std::string describeTiming(const RunTiming& t) {
    auto ratio = [](double a, double b) { return b > 0.0 ? a / b : 0.0; };
    char text[400];
    std::snprintf(text, sizeof text,
                  "preparing %.2f s, reading %.2f s, model %.2f s, writing %.2f s, total %.2f s (%.2f times the "
                  "model's); CPU: model %.2f s, process %.2f s (the total is %.2f times the model's CPU, the "
                  "process's CPU %.2f times it)",
                  t.preparing, t.reading, t.model, t.writing, t.total, ratio(t.total, t.model), t.modelCpu,
                  t.processCpu, ratio(t.total, t.modelCpu), ratio(t.processCpu, t.modelCpu));
    return text;
}

std::string describeBlockFailure(const std::string& source, const char* what, uint64_t sample, double time,
                                 const std::string& why) {
    return source + ": the block " + what + " at sample " + std::to_string(sample) + " (time " + describeTime(time) +
           "): " + why;
}

RunOutcome runSamples(SampleSource& source, BlockDriver& driver, OutputSink& sink, const SampleProgress& progress,
                      ReportQualityTracker quality) {
    RunOutcome outcome;
    RunTiming& timing = outcome.timing;
    const auto block = std::make_unique<Block>();
    const Clock::time_point started = Clock::now();
    RepeatedReportGuard repeats;
    auto fail = [&](FaultKind fault, std::string error) {
        driver.finish();
        outcome.fault = fault;
        outcome.error = std::move(error);
        timing.total = secondsBetween(started, Clock::now());
        return outcome;
    };
    while (true) {
        // Read up to a block; a fault or the end stops it short, and is
        // acted on only once the samples before it have gone through.
        const Clock::time_point t0 = Clock::now();
        std::size_t read = 0;
        SampleSource::Status status = SampleSource::Status::Sample;
        while (read < kBlockSamples) {
            status = source.next(block->in[read]);
            if (status != SampleSource::Status::Sample) break;
            block->quality[read] = source.sampleQuality();
            block->restarts[read] = source.sampleRestarts();
            ++read;
        }
        const Clock::time_point t1 = Clock::now();
        const double cpu1 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        std::size_t stepped = 0;
        bool restartFailed = false;
        while (stepped < read) {
            if (block->restarts[stepped] && !driver.restart()) {
                restartFailed = true;
                break;
            }
            if (!driver.step(block->in[stepped], block->out[stepped])) break;
            block->quality[stepped] = quality.next(block->in[stepped], block->out[stepped],
                                                   block->quality[stepped], block->restarts[stepped]);
            repeats.check(block->out[stepped], block->quality[stepped]);
            ++stepped;
        }
        timing.modelCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu1;
        const Clock::time_point t2 = Clock::now();
        for (std::size_t k = 0; k < stepped; ++k) {
            sink.setNextQuality(block->quality[k]);
            if (!sink.write(block->in[k], block->out[k])) return fail(FaultKind::Failed, sink.error());
            ++outcome.samples;
            if (progress && (outcome.samples & 4095u) == 0) progress(outcome.samples, source.fractionConsumed());
        }
        const Clock::time_point t3 = Clock::now();
        timing.reading += secondsBetween(t0, t1);
        timing.model += secondsBetween(t1, t2);
        timing.writing += secondsBetween(t2, t3);
        if (stepped < read) {
            return fail(FaultKind::Failed, describeBlockFailure(source.name(), restartFailed ? "did not start again" : "stopped",
                                                outcome.samples + 1, block->in[stepped].time, driver.error()));
        }
        if (status == SampleSource::Status::Error) return fail(FaultKind::BadInput, source.error());
        if (status == SampleSource::Status::End) break;
    }
    driver.finish();
    const Clock::time_point t4 = Clock::now();
    if (!sink.finish()) {
        outcome.fault = FaultKind::Failed;
        outcome.error = sink.error();
    }
    const Clock::time_point t5 = Clock::now();
    timing.writing += secondsBetween(t4, t5);
    timing.total = secondsBetween(started, t5);
    return outcome;
}
