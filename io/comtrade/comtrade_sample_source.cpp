#include "io/comtrade/comtrade_sample_source.h"

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

#include "io/gap_bridge.h"

#include "io/comtrade/comtrade_error.h"

namespace {

// Missing values bridged sample by sample (see GapBridge): one bridge while
// the period in samples stays (a frequency-tracking recorder keeps it,
// whatever its rates), a new one where it changes.
class SectionBridges {
public:
    SectionBridges(const ComtradeRecording& rec, double nominalFrequency) : rec_(rec), nominal_(nominalFrequency) {
        if (!rec_.sections.empty()) enter(0);
    }

    // Bridges the next sample in place; its quality word.
    ReportQuality process(double phase[3]) {
        while (index_ >= end_ && section_ + 1 < rec_.sections.size()) enter(++section_);
        ++index_;
        return bridge_->process(phase);
    }
    // The section of the sample last processed.
    std::size_t section() const { return section_; }
    // Visits the sections after the last sample (as the bridges' counts go).
    void finish() {
        while (section_ + 1 < rec_.sections.size()) enter(++section_);
    }
    uint64_t bridged() const { return bridged_ + (bridge_ ? bridge_->bridgedSamples() : 0); }
    uint64_t left() const { return left_ + (bridge_ ? bridge_->unbridgedSamples() : 0); }

private:
    void enter(std::size_t k) {
        const SampleSection& s = rec_.sections[k];
        end_ = s.first + s.count;
        if (bridge_ && GapBridge::periodFor(s.rate, nominal_) == bridge_->periodSamples()) return;
        if (bridge_) {
            bridged_ += bridge_->bridgedSamples();
            left_ += bridge_->unbridgedSamples();
        }
        bridge_ = std::make_unique<GapBridge>(s.rate, nominal_);
    }

    const ComtradeRecording& rec_;
    double nominal_;
    std::size_t section_ = 0;
    std::size_t index_ = 0;
    std::size_t end_ = 0;
    std::unique_ptr<GapBridge> bridge_;
    uint64_t bridged_ = 0, left_ = 0;
};

// The recording's phases read from the file as the run goes, bridged when
// it has missing values.
class StreamedPhases : public PhaseBlocks {
public:
    StreamedPhases(const ComtradeRecording& rec, double nominalFrequency) : reader_(rec) {
        if (rec.hasMissing) bridges_ = std::make_unique<SectionBridges>(rec, nominalFrequency);
    }
    std::size_t read(double* abc, std::size_t frames) override {
        std::size_t got = 0;
        try {
            got = reader_.read(abc, nullptr, frames);
        } catch (const ComtradeError& e) {
            throw std::runtime_error(e.what());
        }
        if (bridges_) {
            for (std::size_t k = 0; k < got; ++k) bridges_->process(abc + 3 * k);
        }
        return got;
    }

private:
    PhaseReader reader_;
    std::unique_ptr<SectionBridges> bridges_;
};

}  // namespace

std::unique_ptr<ComtradeSampleSource> ComtradeSampleSource::open(const std::string& path,
                                                                 const ComtradeReadOptions& options,
                                                                 std::string& error) {
    try {
        return std::unique_ptr<ComtradeSampleSource>(new ComtradeSampleSource(openComtrade(path, options)));
    } catch (const ComtradeError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = path + ": too large to hold in memory";
    }
    return nullptr;
}

bool ComtradeSampleSource::prepare(double sampleRate, const ModelInputs& ports, std::string& error) {
    ports_ = ports;
    delivered_ = 0;
    try {
        const std::vector<SectionGap> gaps = scanGaps(ports.nominalFrequency);
        samples_ = std::make_unique<BuildRateSamples>(
            recording_, sampleRate, std::make_unique<StreamedPhases>(recording_, ports.nominalFrequency), gaps);
    } catch (const std::exception& e) {
        // A gap that resampling would smear, rates libsoxr refuses, or a
        // file that can no longer be read.
        error = e.what();
        return false;
    }
    return true;
}

// Reads the recording through, bridged, for what the run must know before
// it starts: the warning, the marked samples, and the first missing value
// each section keeps. Nothing to do without missing values.
std::vector<SectionGap> ComtradeSampleSource::scanGaps(double nominalFrequency) {
    marks_.clear();
    markAt_ = 0;
    gapWarning_.clear();
    std::vector<SectionGap> gaps;
    if (!recording_.hasMissing) return gaps;
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    PhaseReader reader(recording_);
    SectionBridges bridges(recording_, nominalFrequency);
    std::size_t first = 0;
    bool seen = false;
    std::size_t section = kNone;
    std::size_t missing[3] = {kNone, kNone, kNone};
    auto closeSection = [&] {
        for (std::size_t p = 0; p < 3; ++p) {
            if (missing[p] != kNone) {
                gaps.push_back({section, p, missing[p]});
                break;
            }
        }
        missing[0] = missing[1] = missing[2] = kNone;
    };
    constexpr std::size_t kFrames = 4096;
    std::vector<double> abc(3 * kFrames);
    std::size_t index = 0;
    while (const std::size_t got = reader.read(abc.data(), nullptr, kFrames)) {
        for (std::size_t k = 0; k < got; ++k, ++index) {
            double* phase = &abc[3 * k];
            const bool wasWhole = std::isfinite(phase[0]) && std::isfinite(phase[1]) && std::isfinite(phase[2]);
            if (!wasWhole && !seen) {
                first = index;
                seen = true;
            }
            // Bridged within the proven span (usable, modified) or missing.
            const ReportQuality word = bridges.process(phase);
            if (bridges.section() != section) {
                if (section != kNone) closeSection();
                section = bridges.section();
            }
            if (word != 0) {
                if (!marks_.empty() && marks_.back().end == index && marks_.back().word == word) {
                    ++marks_.back().end;
                } else {
                    marks_.push_back({index, index + 1, word});
                }
            }
            for (std::size_t p = 0; p < 3; ++p) {
                if (std::isnan(phase[p]) && missing[p] == kNone) missing[p] = index;
            }
        }
    }
    if (section != kNone) closeSection();
    bridges.finish();
    const uint64_t bridged = bridges.bridged(), left = bridges.left();
    if (bridged + left == 0) return gaps;
    gapWarning_ = "warning: " + recording_.dataPath + ": " + std::to_string(bridged + left) +
                  " sample(s) with missing values, the first is sample " + std::to_string(first + 1) + "; " +
                  std::to_string(bridged) + " bridged (the same phase one measured period earlier), " + std::to_string(left) +
                  " left missing (gap longer than " + std::to_string(static_cast<int>(kFilterMemorySeconds * 1000)) +
                  " ms); reports resting on gaps longer than " +
                  std::to_string(static_cast<int>(kBridgeProvenSeconds * 1000)) + " ms are marked";
    return gaps;
}

ReportQuality ComtradeSampleSource::qualityAt(std::size_t index) {
    if (marks_.empty()) return 0;
    // The index mostly moves forward; a step back searches from the start.
    if (markAt_ > 0 && marks_[markAt_ - 1].end > index) markAt_ = 0;
    while (markAt_ < marks_.size() && marks_[markAt_].end <= index) ++markAt_;
    return markAt_ < marks_.size() && marks_[markAt_].first <= index ? marks_[markAt_].word : 0;
}

std::optional<uint64_t> ComtradeSampleSource::sampleCount() const {
    if (!samples_) return std::nullopt;
    return samples_->total();
}

std::optional<double> ComtradeSampleSource::fractionConsumed() const {
    if (!samples_ || samples_->total() == 0) return std::nullopt;
    return static_cast<double>(delivered_) / static_cast<double>(samples_->total());
}

SampleSource::Status ComtradeSampleSource::next(ModelInputs& in) {
    if (!samples_) {
        error_ = recording_.path + ": the recording was not prepared for a sample rate";
        return Status::Error;
    }
    in = ports_;
    try {
        if (!samples_->next(in.phase, in.time)) return Status::End;
    } catch (const std::exception& e) {
        error_ = recording_.path + ": " + e.what();
        return Status::Error;
    }
    ++delivered_;
    quality_ = qualityAt(samples_->sourceIndex());
    return Status::Sample;
}
