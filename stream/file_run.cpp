#include "stream/file_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "io/fan_out_sink.h"
#include "io/input_watch.h"
#include "io/reporting_capacity.h"
#include "stream/frame_output.h"
#include "stream/run_outputs.h"

namespace {

FileOutcome failure(FaultKind fault, const std::string& error) {
    FileOutcome outcome;
    outcome.fault = fault;
    outcome.error = error;
    return outcome;
}

void warn(const std::string& line) {
    if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress) {
    const auto entered = std::chrono::steady_clock::now();
    std::string error;
    DriverChoice choice = settings.driver;
    choice.buildTag = settings.buildTag;
    const std::unique_ptr<OpenedInput> opened = openInput({input.kind, input.path}, settings, choice.buildTag, error);
    if (!opened) return failure(FaultKind::BadInput, error);
    FileOutcome outcome = runSource(opened->source(), choice, input.outputPath, settings, opened->facts(), progress);
    for (const std::string& line : opened->endWarnings()) warn(line);
    outcome.notes = opened->endNotes();
    outcome.timing.widenSince(entered);
    return outcome;
}

FileOutcome runSource(SampleSource& source, const DriverChoice& choice, const std::string& outputPath,
                      const FileRunSettings& settings, const SourceFacts& facts, const SampleProgress& progress) {
    const auto entered = std::chrono::steady_clock::now();
    std::string error;
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return failure(FaultKind::BadInput, "unknown build '" + choice.buildTag + "' (expected 10k, 14p4k, 4k or auto)");
    // A report rate the build cannot serve would leave the outputs without
    // most of their reports and say nothing; refused before anything runs.
    // (A sample CSV carries its rate in its own column; the ports here are
    // then the defaults.)
    const std::string beyond = reportingCapacityProblem(build->fs, settings.ports.reportRate);
    if (!beyond.empty()) return failure(FaultKind::BadInput, beyond);
    const std::string caution = reportingCapacityCaution(build->fs, settings.ports.reportRate);
    if (!caution.empty()) warn("warning: " + caution);
    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) return failure(FaultKind::BadInput, error);
    const RunDescription description =
        describeRun(*build, choice, facts.description, facts.epochShift, settings.commandLine);
    std::unique_ptr<OutputSink> outputs = openRunOutputs(
        OutputRequest{outputPath, settings.format, settings.reportsOnly, description, settings.quality},
        settings.plotPath, error);
    if (!outputs) return failure(FaultKind::Failed, error);
    // The frame file is committed first: it is the one that can still refuse
    // (a nominal frequency frames cannot carry is found while writing).
    FanOutSink sinks;
    if (!settings.framesPath.empty()) {
        std::unique_ptr<OutputSink> frames =
            openFrameFile(settings.framesPath, streamSettingsFor(build->modelName, build->fs, settings.idCode),
                          facts.epochShift, error);
        if (!frames) return failure(FaultKind::BadInput, error);
        sinks.add(std::move(frames));
    }
    sinks.add(std::move(outputs));
    if (!driver->start()) return failure(FaultKind::Failed, "the block did not start: " + driver->error());
    if (!checkDriverRate(*driver, choice, *build, error)) return failure(FaultKind::BadInput, error);
    if (!facts.summary.input.empty()) {
        RunSummary summary = facts.summary;
        summary.buildTag = choice.buildTag;
        summary.buildRate = build->fs;
        summary.road = choice.inProcess ? "model linked in"
                                        : "deliverable " + (choice.deliverablePath.empty()
                                                                ? std::string(build->sfunctionName) + ".mexa64"
                                                                : choice.deliverablePath);
        warn("orvane run: " + describeRun(summary));
    }
    InputWatch watch(source, build->fs);
    ReportQualityTracker quality = qualityTrackerFor(*build);
    // A recorder whose clock says it was not locked (time quality code F):
    // every report's time rests on it, and every output says so.
    quality.setUnsynchronised(facts.clockQuality == 0xF);
    const RunOutcome run = runSamples(watch, *driver, sinks, progress, quality);
    for (const std::string& warning : watch.warnings(run.fault == FaultKind::None)) warn(warning);
    FileOutcome outcome;
    outcome.fault = run.fault;
    outcome.error = run.error;
    outcome.samples = run.samples;
    outcome.timing = run.timing;
    outcome.timing.widenSince(entered);
    outcome.buildTag = choice.buildTag;
    return outcome;
}

FileOutcome runSignal(const std::string& name, const std::string& outputPath, const FileRunSettings& settings,
                      const SampleProgress& progress) {
    std::string error;
    std::string buildTag = settings.buildTag;
    const std::unique_ptr<OpenedInput> opened =
        openInput({inputKindByName("signal"), name}, settings, buildTag, error);
    if (!opened) return failure(FaultKind::BadInput, error);
    return runSource(opened->source(), settings.driver, outputPath, settings, opened->facts(), progress);
}

std::vector<std::string> filesRead(const std::vector<InputFile>& inputs) {
    std::vector<std::string> files;
    for (const InputFile& input : inputs) {
        const std::vector<std::string> own = input.kind->files(input.path);
        files.insert(files.end(), own.begin(), own.end());
    }
    return files;
}
