#include "stream/input_table.h"

#include <algorithm>
#include <cstdio>

#include "io/comtrade/comtrade_sample_source.h"
#include "io/comtrade/line_frequency.h"
#include "io/csv/csv_sample_source.h"
#include "io/csv/resampled_csv_sample_source.h"
#include "io/input_checks.h"
#include "stream/model_driver.h"
#include "stream/sv_capture.h"

namespace {

void warn(const std::string& line) {
    if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
}

std::vector<std::string> theFile(const std::string& path) { return {path}; }
std::vector<std::string> noFile(const std::string&) { return {}; }

const SampleRateBuild* buildFor(const std::string& buildTag, std::string& error) {
    const SampleRateBuild* build = buildByTag(buildTag);
    if (build == nullptr) error = "unknown build '" + buildTag + "'";
    return build;
}

// A sample CSV read directly says, once read, where its times jumped and
// which rows were missing; one resampled has said it while resampling.
class CsvInput : public OpenedInput {
public:
    CsvInput(std::unique_ptr<SampleSource> source, SourceFacts facts, const CsvSampleSource* reader)
        : OpenedInput(std::move(source), std::move(facts)), reader_(reader) {}
    std::vector<std::string> endWarnings() const override {
        if (reader_ == nullptr) return {};
        std::vector<std::string> lines;
        for (std::string line : {timeJumpWarning(*reader_), missingRowsWarning(*reader_)}) {
            if (!line.empty()) lines.push_back(std::move(line));
        }
        return lines;
    }

private:
    const CsvSampleSource* reader_;
};

// A sample CSV (thirteen columns, or plain three-phase with the ports and
// --phases of `settings`): its rate is found from the times of its first
// second and checked against the build's; a file at another rate is
// resampled under "auto" and refused otherwise.
std::unique_ptr<OpenedInput> openSampleCsv(const std::string& path, const InputSettings& settings,
                                           std::string& buildTag, std::string& error) {
    SourceFacts facts;
    facts.description = "file " + path;
    const CsvReadOptions options{settings.comtrade.phases, settings.ports};
    std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error, options);
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
    const SampleRateBuild* build = buildFor(buildTag, error);
    if (build == nullptr) return nullptr;
    const bool named = reader->plain() && !settings.comtrade.phases.empty();
    const char* const columns[3] = {"va", "vb", "vc"};
    for (std::size_t k = 0; k < 3; ++k) facts.channels.push_back({named ? settings.comtrade.phases[k] : columns[k], ""});
    if (automatic) {
        facts.summary.input = path;
        facts.summary.inputRate = found.rate;
        facts.summary.rateHow = found.how;
        facts.summary.phases = named ? "'" + settings.comtrade.phases[0] + "', '" + settings.comtrade.phases[1] +
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
        std::unique_ptr<SampleSource> resampled =
            ResampledCsvSampleSource::open(path, options, found.rate, build->fs, settings.bridgeGaps, error);
        if (!resampled) return nullptr;
        facts.length = resampled->sampleCount();
        return std::make_unique<CsvInput>(std::move(resampled), std::move(facts), nullptr);
    }
    reader->expectSampleRate(build->fs);
    if (settings.bridgeGaps) reader->bridgeGaps();
    facts.length = reader->sampleCount();
    const CsvSampleSource* direct = reader.get();
    return std::make_unique<CsvInput>(std::move(reader), std::move(facts), direct);
}

// A COMTRADE recording with the configuration ports of `settings` and its
// line frequency when no nominal frequency was given.
std::unique_ptr<OpenedInput> openRecording(const std::string& path, const InputSettings& settings,
                                           std::string& buildTag, std::string& error) {
    auto recording = ComtradeSampleSource::open(path, settings.comtrade, error);
    if (!recording) return nullptr;
    const ComtradeRecording& rec = recording->recording();
    for (const std::string& warning : rec.config.warnings) warn(warning);
    if (buildTag == "auto") buildTag = buildTagForRate(rec.maxRate());
    const SampleRateBuild* build = buildFor(buildTag, error);
    if (build == nullptr) return nullptr;
    ModelInputs ports = settings.ports;
    if (!settings.nominalFrequencyGiven) {
        const NominalChoice nominal = nominalForLineFrequency(rec.config.lineFrequency, path);
        ports.nominalFrequency = nominal.nominal;
        warn(nominal.note);
    }
    if (!recording->prepare(build->fs, ports, error)) return nullptr;
    warn(recording->gapWarning());
    SourceFacts facts;
    facts.description = "recording " + path;
    facts.summary.input = path;
    facts.summary.inputRate = rec.maxRate();
    facts.summary.inputRatesVary = rec.sections.size() > 1;
    facts.summary.phases = phaseChannelsOf(rec);
    facts.summary.scaling = scalingOf(rec, settings.comtrade.side);
    facts.epochShift = static_cast<double>(rec.origin.epochSecondsOfOrigin());
    facts.inputRate = rec.maxRate();
    facts.rateHow = rec.config.timedByRates() ? "the configuration's sampling rates" : "the timestamps' mean step";
    // The recording's time-quality code says how good its clock was.
    facts.clockQuality = rec.config.timeQuality;
    for (const int channel : rec.phaseChannels) {
        const ComtradeAnalogChannel& c = rec.config.analogs[static_cast<std::size_t>(channel)];
        facts.channels.push_back(InputChannel{c.id, c.unit});
    }
    facts.length = recording->sampleCount();
    return std::make_unique<OpenedInput>(std::move(recording), std::move(facts));
}

// A built-in signal, made at the build's rate (it has none of its own).
std::unique_ptr<OpenedInput> openSignal(const std::string& name, const InputSettings& settings,
                                        std::string& buildTag, std::string& error) {
    const SampleRateBuild* build = buildFor(buildTag, error);
    if (build == nullptr) return nullptr;
    std::unique_ptr<SampleSource> source = makeSignalSource(name, settings.shape, settings.ports, build->fs, error);
    if (!source) return nullptr;
    SourceFacts facts;
    facts.description = "signal " + name;
    facts.channels = {{"va", ""}, {"vb", ""}, {"vc", ""}};
    facts.length = source->sampleCount();
    return std::make_unique<OpenedInput>(std::move(source), std::move(facts));
}

std::unique_ptr<OpenedInput> openSvCapture(const std::string& path, const InputSettings& settings,
                                           std::string& buildTag, std::string& error) {
    return openSvInput(path, false, settings, buildTag, error);
}

std::unique_ptr<OpenedInput> openSvLive(const std::string& interface, const InputSettings& settings,
                                        std::string& buildTag, std::string& error) {
    return openSvInput(interface, true, settings, buildTag, error);
}

const InputKind kCsv{"csv",
                     "--input",
                     "FILE",
                     "a sample CSV; repeat for several files",
                     "sample CSV, as for 'orvane run'; repeat for several PMU blocks",
                     true,
                     false,
                     RecordingOptionUse::PhasesOnly,
                     theFile,
                     openSampleCsv};
const InputKind kComtrade{"comtrade",
                          "--comtrade",
                          "FILE",
                          "a COMTRADE recording (.cfg with its .dat, or .cff); repeat for several files",
                          "a COMTRADE recording (.cfg or .cff), as for 'orvane run'; frames carry its absolute time",
                          true,
                          false,
                          RecordingOptionUse::All,
                          comtradeFilesOf,
                          openRecording};
const InputKind kSignal{"signal",
                        "--signal",
                        "NAME",
                        nullptr,
                        "a built-in signal (runs until Ctrl-C unless --duration)",
                        false,
                        false,
                        RecordingOptionUse::None,
                        noFile,
                        openSignal};
const InputKind kSvLive{"sv",
                        "--sv",
                        "IFACE",
                        nullptr,
                        "a sampled-values stream captured live on this interface (the only input)",
                        true,
                        true,
                        RecordingOptionUse::None,
                        noFile,
                        openSvLive};
const InputKind kSvCapture{"sv-pcap",
                           "--sv-pcap",
                           "FILE",
                           nullptr,
                           nullptr,
                           true,
                           false,
                           RecordingOptionUse::None,
                           theFile,
                           openSvCapture};

}  // namespace

const std::vector<const InputKind*>& inputKinds() {
    static const std::vector<const InputKind*> kinds{&kCsv, &kComtrade, &kSignal, &kSvLive, &kSvCapture};
    return kinds;
}

const InputKind* inputKindByName(const std::string& name) {
    for (const InputKind* kind : inputKinds()) {
        if (name == kind->name) return kind;
    }
    return nullptr;
}

const InputKind* inputKindByOption(const std::string& option) {
    for (const InputKind* kind : inputKinds()) {
        if (option == kind->option) return kind;
    }
    return nullptr;
}

std::unique_ptr<OpenedInput> openInput(const InputChoice& input, const InputSettings& settings, std::string& buildTag,
                                       std::string& error) {
    return input.kind->open(input.text, settings, buildTag, error);
}

RecordingOptionUse recordingOptionUse(const std::vector<const InputKind*>& kinds) {
    RecordingOptionUse use = RecordingOptionUse::None;
    for (const InputKind* kind : kinds) use = std::max(use, kind->recordingOptions);
    return use;
}
