#include "cli/file_run.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "cli/c37118_output.h"
#include "cli/output_choice.h"
#include "cli/progress_meter.h"
#include "cli/run_loop.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/output_formats.h"
#include "io/csv/csv_sample_reader.h"
#include "io/csv/resampled_csv_source.h"
#include "io/input_watch.h"
#include "io/run_summary.h"

namespace {

// Hands samples through and reports how many went by.
class CountingSource : public SampleSource {
public:
    CountingSource(SampleSource& inner, const std::function<void(uint64_t, uint64_t)>& progress)
        : inner_(inner), progress_(progress) {}
    const std::string& name() const override { return inner_.name(); }
    std::optional<uint64_t> sampleCount() const override { return inner_.sampleCount(); }
    std::optional<double> fractionConsumed() const override { return inner_.fractionConsumed(); }
    const std::string& error() const override { return inner_.error(); }
    bool sampleMarked() const override { return inner_.sampleMarked(); }
    Status next(ModelInputs& in) override {
        const Status status = inner_.next(in);
        if (status == Status::Sample && (++count_ & 4095u) == 0) progress_(count_, inner_.sampleCount().value_or(0));
        return status;
    }

private:
    SampleSource& inner_;
    const std::function<void(uint64_t, uint64_t)>& progress_;
    uint64_t count_ = 0;
};

FileOutcome failure(int status, const std::string& error) {
    FileOutcome outcome;
    outcome.exitStatus = status;
    outcome.error = error;
    return outcome;
}

}  // namespace

std::string buildTagForRate(double rate) {
    if (rate <= 4000.0) return "4k";
    if (rate <= 10000.0) return "10k";
    return "14p4k";
}

bool readPortOptions(const CommandOptions& options, FileRunSettings& settings, std::string& error) {
    ModelInputs& ports = settings.ports;
    int64_t reportRate = ports.reportRate;
    int64_t reportMode = ports.reportMode ? 1 : 0;
    if (!options.number("nominal-frequency", ports.nominalFrequency, error) ||
        !options.integer("report-rate", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                         reportRate, error) ||
        !options.integer("report-mode", 0, 1, reportMode, error) ||
        !options.numbers("magnitude-coeffs", 3, ports.magnitudeCoeffs, error) ||
        !options.numbers("phase-coeffs", 3, ports.phaseCoeffs, error)) {
        return false;
    }
    ports.reportRate = static_cast<int32_t>(reportRate);
    ports.reportMode = reportMode == 1;
    settings.nominalFrequencyGiven = options.has("nominal-frequency");
    return true;
}

FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings,
                         const std::function<void(uint64_t, uint64_t)>& progress, ProgressMeter* meter) {
    std::string error;
    std::unique_ptr<SampleSource> source;
    CsvSampleReader* csv = nullptr;
    RunSummary summary;  // printed for recordings and --build auto
    double epochShift = 0.0;
    DriverChoice choice = settings.driver;
    choice.buildTag = settings.buildTag;
    if (input.comtrade) {
        auto recording = ComtradeSampleSource::open(input.path, settings.comtrade, error);
        if (!recording) return failure(2, error);
        for (const std::string& warning : recording->recording().config.warnings) {
            std::fprintf(stderr, "%s\n", warning.c_str());
        }
        if (choice.buildTag == "auto") choice.buildTag = buildTagForRate(recording->recording().maxRate());
        const SampleRateBuild* build = buildByTag(choice.buildTag);
        if (build == nullptr) return failure(2, "unknown build '" + choice.buildTag + "'");
        ModelInputs ports = settings.ports;
        const double lf = recording->recording().config.lineFrequency;
        if (!settings.nominalFrequencyGiven && (lf == 50.0 || lf == 60.0)) ports.nominalFrequency = lf;
        if (!recording->prepare(build->fs, ports, error)) return failure(2, error);
        if (!recording->gapWarning().empty()) std::fprintf(stderr, "%s\n", recording->gapWarning().c_str());
        summary.input = input.path;
        summary.inputRate = recording->recording().maxRate();
        summary.inputRatesVary = recording->recording().sections.size() > 1;
        summary.phases = phaseChannelsOf(recording->recording());
        summary.scaling = scalingOf(recording->recording(), settings.comtrade.side);
        epochShift = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
        source = std::move(recording);
    } else {
        double fileRate = 0.0;
        if (choice.buildTag == "auto") {
            fileRate = csvSampleRate(input.path, error);
            if (fileRate == 0.0) return failure(2, error);
            choice.buildTag = buildTagForRate(fileRate);
        }
        const SampleRateBuild* build = buildByTag(choice.buildTag);
        if (build == nullptr) return failure(2, "unknown build '" + choice.buildTag + "'");
        if (fileRate != 0.0) {
            summary.input = input.path;
            summary.inputRate = fileRate;
            summary.phases = "va, vb, vc columns";
        }
        if (fileRate != 0.0 && std::fabs(fileRate - build->fs) > 1e-3 * build->fs) {
            source = ResampledCsvSource::open(input.path, fileRate, build->fs, settings.bridgeGaps, error);
            if (!source) return failure(2, error);
        } else {
            std::unique_ptr<CsvSampleReader> reader = CsvSampleReader::open(input.path, error);
            if (!reader) return failure(2, error);
            reader->expectSampleRate(build->fs);
            if (settings.bridgeGaps) reader->bridgeGaps();
            csv = reader.get();
            source = std::move(reader);
        }
    }
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return failure(2, "unknown build '" + choice.buildTag + "' (expected 10k, 14p4k, 4k or auto)");

    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) return failure(2, error);
    const RunDescription description =
        describeRun(*build, choice, (input.comtrade ? "recording " : "file ") + input.path, epochShift,
                    settings.commandLine);
    std::unique_ptr<OutputSink> writer =
        settings.options != nullptr
            ? openRunOutputs(*settings.options, input.outputPath, settings.reportsOnly, description, error)
            : openOutputSink(OutputRequest{input.outputPath, settings.format, settings.reportsOnly, description, settings.quality}, error);
    if (!writer) return failure(1, error);
    OutputSink* sink = writer.get();
    std::unique_ptr<OutputSink> holder;
    if (settings.options != nullptr) {
        sink = withC37118Output(*settings.options, *build, *writer, holder, error, epochShift);
        if (sink == nullptr) return failure(2, error);
    }
    if (!driver->start()) return failure(1, "the block did not start: " + driver->error());
    if (!checkDriverRate(*driver, choice, *build, error)) return failure(2, error);
    if (!summary.input.empty()) {
        summary.buildTag = choice.buildTag;
        summary.buildRate = build->fs;
        summary.road = choice.inProcess ? "model linked in"
                                        : "deliverable " + (choice.deliverablePath.empty()
                                                                ? std::string(build->sfunctionName) + ".mexa64"
                                                                : choice.deliverablePath);
        std::fprintf(stderr, "orvane run: %s\n", describeRun(summary).c_str());
    }

    RunOutcome run;
    InputWatch watch(*source, build->fs);
    if (progress) {
        CountingSource counting(watch, progress);
        run = runSamples(counting, *driver, *sink, meter);
    } else {
        run = runSamples(watch, *driver, *sink, meter);
    }
    for (const std::string& warning : watch.warnings()) std::fprintf(stderr, "%s\n", warning.c_str());
    if (csv != nullptr) {
        for (const std::string& warning : {timeJumpWarning(*csv), missingRowsWarning(*csv)}) {
            if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
        }
    }
    FileOutcome outcome;
    outcome.exitStatus = run.exitStatus;
    outcome.error = run.error;
    outcome.samples = run.samples;
    outcome.buildTag = choice.buildTag;
    return outcome;
}
