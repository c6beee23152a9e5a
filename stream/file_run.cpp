#include "stream/file_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "io/comtrade/comtrade_sample_source.h"
#include "io/comtrade/line_frequency.h"
#include "io/csv/csv_sample_reader.h"
#include "io/csv/resampled_csv_source.h"
#include "io/fan_out_sink.h"
#include "io/input_watch.h"
#include "io/reporting_capacity.h"
#include "stream/frame_output.h"
#include "stream/run_outputs.h"
#include "stream/sv_capture.h"

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

std::unique_ptr<SampleSource> openRecording(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, SourceFacts& facts, std::string& error) {
    auto recording = ComtradeSampleSource::open(path, settings.comtrade, error);
    if (!recording) return nullptr;
    for (const std::string& warning : recording->recording().config.warnings) warn(warning);
    if (buildTag == "auto") buildTag = buildTagForRate(recording->recording().maxRate());
    const SampleRateBuild* build = buildByTag(buildTag);
    if (build == nullptr) {
        error = "unknown build '" + buildTag + "'";
        return nullptr;
    }
    ModelInputs ports = settings.ports;
    if (!settings.nominalFrequencyGiven) {
        const NominalChoice nominal = nominalForLineFrequency(recording->recording().config.lineFrequency, path);
        ports.nominalFrequency = nominal.nominal;
        warn(nominal.note);
    }
    if (!recording->prepare(build->fs, ports, error)) return nullptr;
    warn(recording->gapWarning());
    facts.description = "recording " + path;
    facts.summary.input = path;
    facts.summary.inputRate = recording->recording().maxRate();
    facts.summary.inputRatesVary = recording->recording().sections.size() > 1;
    facts.summary.phases = phaseChannelsOf(recording->recording());
    facts.summary.scaling = scalingOf(recording->recording(), settings.comtrade.side);
    facts.epochShift = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
    facts.inputRate = recording->recording().maxRate();
    facts.rateHow = recording->recording().config.timedByRates() ? "the configuration's sampling rates"
                                                                  : "the timestamps' mean step";
    // The recording's time-quality code says how good its clock was.
    facts.clockQuality = recording->recording().config.timeQuality;
    return recording;
}

std::unique_ptr<SampleSource> openSampleCsv(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, SourceFacts& facts, CsvSampleReader*& csv,
                                            std::string& error) {
    facts.description = "file " + path;
    const CsvReadOptions options{settings.comtrade.phases, settings.ports};
    std::unique_ptr<CsvSampleReader> reader = CsvSampleReader::open(path, error, options);
    if (!reader) return nullptr;
    if (!reader->plain() && settings.portsGiven) {
        error = path + ": the port options (--report-rate, --nominal-frequency, --report-mode, --magnitude-coeffs, "
                       "--phase-coeffs) apply to a plain three-phase CSV (time,va,vb,vc) or a recording; this file "
                       "carries its ports in its own columns";
        return nullptr;
    }
    const RateFinding found = csvSampleRate(path, options, error);
    const bool automatic = buildTag == "auto";
    facts.inputRate = found.rate;
    facts.rateHow = found.how;
    if (automatic) {
        if (found.rate == 0.0) return nullptr;
        buildTag = buildTagForRate(found.rate);
    }
    error.clear();
    const SampleRateBuild* build = buildByTag(buildTag);
    if (build == nullptr) {
        error = "unknown build '" + buildTag + "'";
        return nullptr;
    }
    if (automatic) {
        facts.summary.input = path;
        facts.summary.inputRate = found.rate;
        facts.summary.rateHow = found.how;
        facts.summary.phases = reader->plain() && !settings.comtrade.phases.empty()
                                   ? "'" + settings.comtrade.phases[0] + "', '" + settings.comtrade.phases[1] +
                                         "', '" + settings.comtrade.phases[2] + "' columns"
                                   : "va, vb, vc columns";
    }
    // A file too short to tell its rate runs as it is, its spacing checked
    // step by step.
    if (found.rate != 0.0 && !isBuildRate(found.rate, build->fs)) {
        if (!automatic) {
            error = path + ": " + rateAgainstBuildError(found, buildTag, build->fs) +
                    "; give --build auto to run the file at a build's rate (resampled)";
            return nullptr;
        }
        return ResampledCsvSource::open(path, options, found.rate, build->fs, settings.bridgeGaps, error);
    }
    reader->expectSampleRate(build->fs);
    if (settings.bridgeGaps) reader->bridgeGaps();
    csv = reader.get();
    return reader;
}

FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress) {
    const auto entered = std::chrono::steady_clock::now();
    std::string error;
    std::unique_ptr<SampleSource> source;
    CsvSampleReader* csv = nullptr;
    SourceFacts facts;
    DriverChoice choice = settings.driver;
    choice.buildTag = settings.buildTag;
    if (input.svCapture) {
        std::unique_ptr<SvGapBridge> bridge;
        auto capture = openSvStream(input.path, false, settings.sv, settings.ports, choice.buildTag,
                                    facts.epochShift, bridge, error);
        if (!capture) return failure(FaultKind::BadInput, error);
        facts.description = "capture " + input.path;
        FileOutcome outcome = runSource(*capture, choice, input.outputPath, settings, facts, progress);
        outcome.notes = svStreamNotes(*capture, bridge.get());
        outcome.timing.widenSince(entered);
        return outcome;
    }
    if (input.comtrade) {
        source = openRecording(input.path, settings, choice.buildTag, facts, error);
        if (!source) return failure(FaultKind::BadInput, error);
    } else {
        source = openSampleCsv(input.path, settings, choice.buildTag, facts, csv, error);
        if (!source) return failure(FaultKind::BadInput, error);
    }
    FileOutcome outcome = runSource(*source, choice, input.outputPath, settings, facts, progress);
    if (csv != nullptr) {
        warn(timeJumpWarning(*csv));
        warn(missingRowsWarning(*csv));
    }
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
    const RunOutcome run = runSamples(watch, *driver, sinks, progress, qualityTrackerFor(*build));
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

FileOutcome runSignal(const std::string& name, const SignalShape& shape, const std::string& outputPath,
                      const FileRunSettings& settings, const SampleProgress& progress) {
    FileOutcome outcome;
    const SampleRateBuild* build = buildByTag(settings.buildTag);
    auto source = makeSignalSource(name, shape, settings.ports, build->fs, outcome.error);
    if (!source) {
        outcome.fault = FaultKind::BadInput;
        return outcome;
    }
    SourceFacts facts;
    facts.description = "signal " + name;
    return runSource(*source, settings.driver, outputPath, settings, facts, progress);
}

std::vector<std::string> filesRead(const std::vector<InputFile>& inputs) {
    std::vector<std::string> files;
    for (const InputFile& input : inputs) {
        const std::vector<std::string> own = input.comtrade ? comtradeFilesOf(input.path) : std::vector{input.path};
        files.insert(files.end(), own.begin(), own.end());
    }
    return files;
}
