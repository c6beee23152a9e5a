#include "io/comtrade/comtrade_sample_source.h"

#include <cmath>
#include <memory>
#include <stdexcept>

#include "io/gap_bridge.h"

#include "io/comtrade/comtrade_error.h"

std::unique_ptr<ComtradeSampleSource> ComtradeSampleSource::open(const std::string& path,
                                                                 const ComtradeReadOptions& options,
                                                                 std::string& error) {
    try {
        return std::unique_ptr<ComtradeSampleSource>(new ComtradeSampleSource(readComtrade(path, options)));
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
    bridgeGaps(ports.nominalFrequency);
    try {
        samples_ = std::make_unique<BuildRateSamples>(recording_, sampleRate);
    } catch (const std::exception& e) {
        // A gap that resampling would smear, or rates libsoxr refuses.
        error = e.what();
        return false;
    }
    return true;
}

void ComtradeSampleSource::bridgeGaps(double nominalFrequency) {
    marks_.clear();
    gapWarning_.clear();
    uint64_t bridged = 0, left = 0;
    std::size_t first = 0;
    bool seen = false;
    std::array<std::vector<double>, 3>& v = recording_.phases;
    std::unique_ptr<GapBridge> bridge;
    for (const SampleSection& s : recording_.sections) {
        // One bridge while the period in samples stays (a frequency-tracking
        // recorder keeps it, whatever its rates); a new one where it changes.
        if (!bridge || GapBridge::periodFor(s.rate, nominalFrequency) != bridge->periodSamples()) {
            if (bridge) {
                bridged += bridge->bridgedSamples();
                left += bridge->unbridgedSamples();
            }
            bridge = std::make_unique<GapBridge>(s.rate, nominalFrequency);
        }
        for (std::size_t i = s.first; i < s.first + s.count && i < v[0].size(); ++i) {
            double phase[3] = {v[0][i], v[1][i], v[2][i]};
            const bool wasWhole = std::isfinite(phase[0]) && std::isfinite(phase[1]) && std::isfinite(phase[2]);
            if (!wasWhole && !seen) {
                first = i;
                seen = true;
            }
            const bool marked = bridge->process(phase);
            if (marked && marks_.empty()) marks_.assign(v[0].size(), false);
            if (marked) marks_[i] = true;
            for (std::size_t p = 0; p < 3; ++p) v[p][i] = phase[p];
        }
    }
    if (bridge) {
        bridged += bridge->bridgedSamples();
        left += bridge->unbridgedSamples();
    }
    if (bridged + left == 0) return;
    gapWarning_ = "warning: " + recording_.dataPath + ": " + std::to_string(bridged + left) +
                  " sample(s) with missing values, the first is sample " + std::to_string(first + 1) + "; " +
                  std::to_string(bridged) + " bridged (value one nominal period earlier), " + std::to_string(left) +
                  " left missing (gap longer than " + std::to_string(static_cast<int>(kFilterMemorySeconds * 1000)) +
                  " ms); reports resting on them are marked";
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
    marked_ = !marks_.empty() && marks_[samples_->sourceIndex()];
    return Status::Sample;
}
