#include "stream/sv_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "io/sv/sv_survey.h"
#include "io/input_checks.h"
#include "stream/model_driver.h"

void SvGapBridge::fill(double phase[3], SampleGapFlags& flags) {
    // A flagged sample's values are not to be trusted even when present.
    if (flags.any()) std::fill(phase, phase + 3, std::numeric_limits<double>::quiet_NaN());
    quality_ = bridge_.process(phase);
    // Past the filters' memory nothing is left of the signal before the
    // gap: the model starts again as at the stream's start, instead of
    // carrying the zeros below into its state.
    flags.restartAfterGap = !flags.any() && flaggedRun_ > bridge_.memorySamples() ? flaggedRun_ : 0;
    flaggedRun_ = flags.any() ? flaggedRun_ + 1 : 0;
    // Left missing (no period of history yet, or a gap longer than the
    // filters' memory): a NaN would stay in the model's filters for the rest
    // of a live stream, so zero stands in, marked; after a long gap the
    // model starts afresh when the stream resumes (above), after a short
    // one its filters recover one memory span after the stream resumes.
    for (int p = 0; p < 3; ++p) {
        if (!std::isfinite(phase[p])) {
            phase[p] = 0.0;
            quality_ |= kQualityMissing;
        }
    }
    // Marked means "do not use"; a sample bridged within the proven span is
    // usable and carries its word (bridged) on to the outputs.
    flags.quality = quality_;
    flags.marked = qualityDoNotUse(quality_);
}

namespace {

// A stream and its gap bridge (which the source fills through, so it lives
// as long as the source).
class SvInput : public OpenedInput {
public:
    SvInput(SvSampleSource* sv, std::unique_ptr<SampleSource> source, SourceFacts facts,
            std::unique_ptr<SvGapBridge> bridge)
        : OpenedInput(std::move(source), std::move(facts)), bridge_(std::move(bridge)), sv_(sv) {}
    std::vector<std::string> endNotes() const override { return svStreamNotes(*sv_, bridge_.get()); }
    int64_t captureNs() const override { return svNanoseconds(sv_->stream().lastCapture()); }

private:
    std::unique_ptr<SvGapBridge> bridge_;
    SvSampleSource* sv_;
};

}  // namespace

std::unique_ptr<OpenedInput> openSvInput(const std::string& path, bool live, const InputSettings& settings,
                                         std::string& buildTag, std::string& error) {
    std::unique_ptr<PacketReader> packets = live ? openCaptureInterface(path, error) : openCaptureFile(path, error);
    if (!packets) return nullptr;
    double epochShift = 0.0;
    std::unique_ptr<SvGapBridge> bridge;
    std::unique_ptr<SvSampleSource> source = prepareSvStream(std::move(packets), path, live, settings.sv,
                                                             settings.ports, buildTag, epochShift, bridge, error);
    if (!source) return nullptr;
    SourceFacts facts;
    facts.description = "capture " + path;
    facts.epochShift = epochShift;
    facts.inputRate = source->streamRate();
    facts.rateHow = settings.sv.rate > 0                ? "as given"
                    : source->stream().rateEstimated() ? "smpCnt's pace over the capture clock (an estimate)"
                                                       : "where smpCnt wraps at the top of a second";
    for (const std::size_t channel : settings.sv.dataSet.phaseChannels) {
        facts.channels.push_back(InputChannel{"channel " + std::to_string(channel), ""});
    }
    SvSampleSource* sv = source.get();
    return std::make_unique<SvInput>(sv, std::move(source), std::move(facts), std::move(bridge));
}

std::unique_ptr<SvSampleSource> prepareSvStream(std::unique_ptr<PacketReader> packets, const std::string& name,
                                                bool live, const SvStreamOptions& options, const ModelInputs& ports,
                                                std::string& buildTag, double& epochShift,
                                                std::unique_ptr<SvGapBridge>& bridge, std::string& error) {
    std::unique_ptr<SvSampleSource> source = SvSampleSource::open(std::move(packets), name, options, error);
    if (!source) return nullptr;
    if (live) source->setLive();
    if (buildTag == "auto") buildTag = buildTagForRate(source->streamRate());
    const SampleRateBuild* build = buildByTag(buildTag);
    if (build == nullptr) {
        error = "unknown build '" + buildTag + "'";
        return nullptr;
    }
    if (!source->prepare(build->fs, ports, error)) return nullptr;
    bridge = std::make_unique<SvGapBridge>(source->streamRate(), ports.nominalFrequency);
    source->setGapFiller(bridge.get());
    epochShift = static_cast<double>(source->midnight());
    return source;
}

std::vector<std::string> svStreamNotes(const SvSampleSource& source, const SvGapBridge* bridge) {
    std::vector<std::string> notes;
    const SvStreamReader& s = source.stream();
    const SvContinuityCounts& c = s.counts();
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: stream '%s' (APPID 0x%04x, %s, %u Hz): %llu samples received, %llu lost, %llu duplicated, "
                  "%llu reordered, %llu late",
                  source.name().c_str(), s.svId().value_or("").c_str(), s.appId(), formatMacAddress(s.source()).c_str(),
                  s.rate(), static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.lost),
                  static_cast<unsigned long long>(c.duplicates), static_cast<unsigned long long>(c.reordered),
                  static_cast<unsigned long long>(c.late));
    notes.emplace_back(line);
    if (s.rateEstimated()) notes.push_back(source.name() + ": " + svRateEstimateNote(s.svId().value_or(""), s.rate()));
    const SvQualityCounts& q = s.quality();
    if (q.invalid + q.questionable + q.test > 0) {
        std::snprintf(line, sizeof line, "%s: samples flagged by their quality: %llu invalid, %llu questionable, %llu test",
                      source.name().c_str(), static_cast<unsigned long long>(q.invalid),
                      static_cast<unsigned long long>(q.questionable), static_cast<unsigned long long>(q.test));
        notes.emplace_back(line);
    }
    for (const std::string& fault : s.malformed().describe()) notes.push_back(source.name() + ": " + fault);
    if (bridge != nullptr && bridge->bridged() > 0) {
        const GapBridge& b = bridge->bridge();
        const double all = static_cast<double>(std::max<uint64_t>(b.samplesProcessed(), 1));
        std::snprintf(line, sizeof line,
                      "%s: %llu samples bridged with the same phase one measured period earlier; of all samples, "
                      "%.3f %% rest on gaps within the bridge's proven span (%zu samples, bridged) and %.3f %% on "
                      "longer gaps or missing samples (do not use)",
                      source.name().c_str(), static_cast<unsigned long long>(bridge->bridged()),
                      100.0 * static_cast<double>(b.samplesWithBridgedBit()) / all, b.provenSamples(),
                      100.0 * static_cast<double>(b.samplesWithMissingBit()) / all);
        notes.emplace_back(line);
    }
    if (bridge != nullptr && bridge->unbridged() > 0) {
        notes.push_back(source.name() + ": " + std::to_string(bridge->unbridged()) +
                        " samples left missing: their gaps were longer than the filters' memory");
    }
    for (const std::string& restart : source.restartNotes()) notes.push_back(source.name() + ": " + restart);
    if (source.restarts() > source.restartNotes().size()) {
        notes.push_back(source.name() + ": " + std::to_string(source.restarts() - source.restartNotes().size()) +
                        " more restarts of the model after long gaps (" + std::to_string(source.restarts()) +
                        " in all)");
    }
    if (!source.endNote().empty()) notes.push_back(source.name() + ": " + source.endNote());
    return notes;
}

LiveSampleFeed::LiveSampleFeed(SampleSource& source, std::function<int64_t()> captureNs,
                               std::function<void()> onSample, std::size_t capacity)
    : source_(source), captureNs_(std::move(captureNs)), onSample_(std::move(onSample)), ring_(capacity) {}

LiveSampleFeed::~LiveSampleFeed() { stop(); }

void LiveSampleFeed::start() { thread_ = std::thread([this] { run(); }); }

void LiveSampleFeed::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    space_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void LiveSampleFeed::run() {
    Sample entry;
    while (true) {
        const SampleSource::Status status = source_.next(entry.in);
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopRequested_) return;
        if (status != SampleSource::Status::Sample) {
            finished_ = true;
            failed_ = status == SampleSource::Status::Error;
            if (failed_) error_ = source_.error();
            lock.unlock();
            if (onSample_) onSample_();
            return;
        }
        entry.captureNs = captureNs_ ? captureNs_() : 0;
        entry.quality = source_.sampleQuality();
        entry.restart = source_.sampleRestarts();
        space_.wait(lock, [this] { return count_ < ring_.size() || stopRequested_; });
        if (stopRequested_) return;
        ring_[(head_ + count_) % ring_.size()] = entry;
        // The consumer drains the ring whenever it wakes, so it needs waking
        // only when the ring was empty.
        const bool wake = ++count_ == 1;
        lock.unlock();
        if (wake && onSample_) onSample_();
    }
}

LiveSampleFeed::Take LiveSampleFeed::take(Sample& sample) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == 0) {
        if (!finished_) return Take::Empty;
        return failed_ ? Take::Error : Take::End;
    }
    sample = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    if (count_-- == ring_.size()) space_.notify_one();
    return Take::Sample;
}
