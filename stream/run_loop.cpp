#include "stream/run_loop.h"

#include <cstdio>


std::string describeTime(double time) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", time);
    return text;
}

RunOutcome runSamples(SampleSource& source, BlockDriver& driver, OutputSink& sink, const SampleProgress& progress) {
    RunOutcome outcome;
    ModelInputs in;
    ModelOutputs out;
    while (true) {
        const SampleSource::Status status = source.next(in);
        if (status == SampleSource::Status::End) break;
        if (status == SampleSource::Status::Error) {
            driver.finish();
            outcome.exitStatus = 2;
            outcome.error = source.error();
            return outcome;
        }
        if (source.sampleRestarts() && !driver.restart()) {
            outcome.exitStatus = 1;
            outcome.error = source.name() + ": the block did not start again at sample " +
                            std::to_string(outcome.samples + 1) + " (time " + describeTime(in.time) +
                            "): " + driver.error();
            return outcome;
        }
        if (!driver.step(in, out)) {
            driver.finish();
            outcome.exitStatus = 1;
            outcome.error = source.name() + ": the block stopped at sample " + std::to_string(outcome.samples + 1) +
                            " (time " + describeTime(in.time) + "): " + driver.error();
            return outcome;
        }
        sink.markNextSample(source.sampleMarked());
        if (!sink.write(in, out)) {
            driver.finish();
            outcome.exitStatus = 1;
            outcome.error = sink.error();
            return outcome;
        }
        ++outcome.samples;
        if (progress && (outcome.samples & 4095u) == 0) progress(outcome.samples, source.fractionConsumed());
    }
    driver.finish();
    if (!sink.finish()) {
        outcome.exitStatus = 1;
        outcome.error = sink.error();
    }
    return outcome;
}
