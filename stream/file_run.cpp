#include "stream/file_run.h"

#include <memory>

#include "io/comtrade/comtrade_sample_source.h"
#include "io/csv/csv_output_writer.h"
#include "io/csv/csv_sample_reader.h"
#include "stream/frame_output.h"
#include "stream/sv_capture.h"

namespace {

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

std::unique_ptr<SampleSource> openRecording(const std::string& path, const FileRunSettings& settings,
                                            std::string& buildTag, double& epochShift, std::string& error) {
    auto recording = ComtradeSampleSource::open(path, settings.comtrade, error);
    if (!recording) return nullptr;
    if (buildTag == "auto") buildTag = buildTagForRate(recording->recording().maxRate());
    const SampleRateBuild* build = buildByTag(buildTag);
    if (build == nullptr) {
        error = "unknown build '" + buildTag + "'";
        return nullptr;
    }
    ModelInputs ports = settings.ports;
    const double lf = recording->recording().config.lineFrequency;
    if (!settings.nominalFrequencyGiven && (lf == 50.0 || lf == 60.0)) ports.nominalFrequency = lf;
    if (!recording->prepare(build->fs, ports, error)) return nullptr;
    epochShift = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
    return recording;
}

FileOutcome runInputFile(const InputFile& input, const FileRunSettings& settings, const SampleProgress& progress) {
    std::string error;
    std::unique_ptr<SampleSource> source;
    double epochShift = 0.0;
    DriverChoice choice = settings.driver;
    choice.buildTag = settings.buildTag;
    if (input.svCapture) {
        std::unique_ptr<PeriodBridge> bridge;
        auto capture =
            openSvStream(input.path, false, settings.sv, settings.ports, choice.buildTag, epochShift, bridge, error);
        if (!capture) return failure(2, error);
        FileOutcome outcome = runSource(*capture, choice, input.outputPath, settings, epochShift, progress);
        outcome.notes = svStreamNotes(*capture, bridge.get());
        return outcome;
    }
    if (input.comtrade) {
        source = openRecording(input.path, settings, choice.buildTag, epochShift, error);
        if (!source) return failure(2, error);
    } else {
        if (choice.buildTag == "auto") {
            return failure(2, input.path + ": --build auto needs a COMTRADE recording (a sample CSV has no rate)");
        }
        source = CsvSampleReader::open(input.path, error);
        if (!source) return failure(2, error);
    }
    return runSource(*source, choice, input.outputPath, settings, epochShift, progress);
}

FileOutcome runSource(SampleSource& source, const DriverChoice& choice, const std::string& outputPath,
                      const FileRunSettings& settings, double epochShift, const SampleProgress& progress) {
    std::string error;
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return failure(2, "unknown build '" + choice.buildTag + "' (expected 10k, 14p4k, 4k or auto)");
    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) return failure(2, error);
    CsvOutputWriter writer(outputPath, settings.reportsOnly);
    if (!writer.open()) return failure(2, writer.error());
    OutputSink* sink = &writer;
    std::unique_ptr<OutputSink> holder;
    if (!settings.framesPath.empty()) {
        sink = withFrameFile(settings.framesPath, streamSettingsFor(build->modelName, build->fs, settings.idCode),
                             writer, holder, error, epochShift);
        if (sink == nullptr) return failure(2, error);
    }
    if (!driver->start()) return failure(1, "the block did not start: " + driver->error());
    const RunOutcome run = runSamples(source, *driver, *sink, progress);
    FileOutcome outcome;
    outcome.exitStatus = run.exitStatus;
    outcome.error = run.error;
    outcome.samples = run.samples;
    outcome.buildTag = choice.buildTag;
    return outcome;
}
