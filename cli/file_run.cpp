#include "cli/file_run.h"

#include <cmath>
#include <limits>
#include <memory>

#include "cli/c37118_output.h"
#include "cli/output_choice.h"
#include "cli/progress_meter.h"
#include "cli/run_loop.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/output_formats.h"
#include "io/csv/csv_sample_reader.h"

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
    double epochShift = 0.0;
    DriverChoice choice = settings.driver;
    choice.buildTag = settings.buildTag;
    if (input.comtrade) {
        auto recording = ComtradeSampleSource::open(input.path, settings.comtrade, error);
        if (!recording) return failure(2, error);
        if (choice.buildTag == "auto") choice.buildTag = buildTagForRate(recording->recording().maxRate());
        const SampleRateBuild* build = buildByTag(choice.buildTag);
        if (build == nullptr) return failure(2, "unknown build '" + choice.buildTag + "'");
        ModelInputs ports = settings.ports;
        const double lf = recording->recording().config.lineFrequency;
        if (!settings.nominalFrequencyGiven && (lf == 50.0 || lf == 60.0)) ports.nominalFrequency = lf;
        if (!recording->prepare(build->fs, ports, error)) return failure(2, error);
        epochShift = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
        source = std::move(recording);
    } else {
        if (choice.buildTag == "auto") {
            return failure(2, input.path + ": --build auto needs a COMTRADE recording (a sample CSV has no rate)");
        }
        source = CsvSampleReader::open(input.path, error);
        if (!source) return failure(2, error);
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
            : openOutputSink(OutputRequest{input.outputPath, settings.format, settings.reportsOnly, description}, error);
    if (!writer) return failure(1, error);
    OutputSink* sink = writer.get();
    std::unique_ptr<OutputSink> holder;
    if (settings.options != nullptr) {
        sink = withC37118Output(*settings.options, *build, *writer, holder, error, epochShift);
        if (sink == nullptr) return failure(2, error);
    }
    if (!driver->start()) return failure(1, "the block did not start: " + driver->error());

    RunOutcome run;
    if (progress) {
        CountingSource counting(*source, progress);
        run = runSamples(counting, *driver, *sink, meter);
    } else {
        run = runSamples(*source, *driver, *sink, meter);
    }
    FileOutcome outcome;
    outcome.exitStatus = run.exitStatus;
    outcome.error = run.error;
    outcome.samples = run.samples;
    outcome.buildTag = choice.buildTag;
    return outcome;
}
