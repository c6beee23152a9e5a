#include "io/comtrade/build_rate_samples.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "io/comtrade/comtrade_error.h"

namespace {

constexpr std::size_t kFeedFrames = 8192;

class HeldPhases : public PhaseBlocks {
public:
    explicit HeldPhases(const ComtradeRecording& rec) : rec_(rec) {}
    std::size_t read(double* abc, std::size_t frames) override {
        const std::size_t n = std::min(frames, rec_.phases[0].size() - at_);
        for (std::size_t k = 0; k < n; ++k, ++at_) {
            for (std::size_t p = 0; p < 3; ++p) abc[3 * k + p] = rec_.phases[p][at_];
        }
        return n;
    }

private:
    const ComtradeRecording& rec_;
    std::size_t at_ = 0;
};

}  // namespace

std::vector<SectionGap> BuildRateSamples::gapsIn(const ComtradeRecording& rec) {
    std::vector<SectionGap> gaps;
    for (std::size_t k = 0; k < rec.sections.size(); ++k) {
        const SampleSection& s = rec.sections[k];
        bool found = false;
        for (std::size_t p = 0; p < 3 && !found; ++p) {
            const std::vector<double>& v = rec.phases[p];
            for (std::size_t i = s.first; i < s.first + s.count && i < v.size(); ++i) {
                if (std::isnan(v[i])) {
                    gaps.push_back({k, p, i});
                    found = true;
                    break;
                }
            }
        }
    }
    return gaps;
}

BuildRateSamples::BuildRateSamples(const ComtradeRecording& recording, double sampleRate)
    : BuildRateSamples(recording, sampleRate, std::make_unique<HeldPhases>(recording), gapsIn(recording)) {}

BuildRateSamples::BuildRateSamples(const ComtradeRecording& recording, double sampleRate,
                                   std::unique_ptr<PhaseBlocks> blocks, const std::vector<SectionGap>& gaps)
    : rec_(recording), fs_(sampleRate), blocks_(std::move(blocks)), block_(3 * kBlock) {
    auto gap = gaps.begin();
    for (std::size_t k = 0; k < rec_.sections.size(); ++k) {
        const SampleSection& s = rec_.sections[k];
        while (gap != gaps.end() && gap->section < k) ++gap;
        if (atRate(s)) {
            total_ += s.count;
            continue;
        }
        passesThrough_ = false;
        // A rate far below the build's would turn a few samples into more
        // than any run can hold.
        if (!(static_cast<double>(s.count) * fs_ / s.rate < 1e10)) {
            throw ComtradeError(rec_.path, 0, 0, "",
                                "a section of " + std::to_string(s.count) + " samples at " + std::to_string(s.rate) +
                                    " Hz is too long to resample to " + std::to_string(fs_) + " Hz");
        }
        total_ += Resampler::outputFramesFor(s.count, s.rate, fs_);
        if (gap != gaps.end() && gap->section == k) {
            const ComtradeAnalogChannel& c =
                rec_.config.analogs[static_cast<std::size_t>(rec_.phaseChannels[gap->phase])];
            throw ComtradeError(rec_.dataPath, 0, 0, "",
                                "sample " + std::to_string(gap->index + 1) + " of channel '" + c.id +
                                    "' is missing and cannot be bridged (it lies in the first nominal period, or "
                                    "in a gap longer than the filters' memory); a recording with such a gap cannot "
                                    "be resampled");
        }
    }
    std::size_t atOtherRates = 0;
    for (const SampleSection& s : rec_.sections) atOtherRates += atRate(s) ? 0 : 1;
    count_ = rec_.size();
    onTimes_ = rec_.sections.size() > 1 && atOtherRates > 0 && count_ >= 4;
    if (onTimes_) {
        // The time of the last sample, as loadUpTo reckons it.
        for (const SampleSection& s : rec_.sections) {
            if (s.count > 0) lastTime_ = s.startElapsed + static_cast<double>(s.count - 1) / s.rate;
        }
        // Instants up to the last sample: interpolation, never extrapolation.
        total_ = static_cast<std::size_t>(std::floor(lastTime_ * fs_ + 1e-9)) + 1;
        return;
    }
    openSection();
}

void BuildRateSamples::take(double* abc) {
    if (blockAt_ == blockLength_) {
        blockLength_ = blocks_->read(block_.data(), kBlock);
        blockAt_ = 0;
        if (blockLength_ == 0) throw std::runtime_error("the data ended before the samples the configuration announces");
    }
    const double* v = &block_[3 * blockAt_++];
    abc[0] = v[0];
    abc[1] = v[1];
    abc[2] = v[2];
}

void BuildRateSamples::loadUpTo(std::size_t k) {
    while (loaded_ <= k && loaded_ < count_) {
        while (timeIndex_ >= rec_.sections[timeSection_].count) {
            ++timeSection_;
            timeIndex_ = 0;
        }
        const SampleSection& s = rec_.sections[timeSection_];
        const std::size_t slot = loaded_ % kWindow;
        windowTimes_[slot] = s.startElapsed + static_cast<double>(timeIndex_) / s.rate;
        take(windowValues_[slot]);
        ++timeIndex_;
        ++loaded_;
    }
}

bool BuildRateSamples::nextOnTimes(double phase[3], double& time) {
    if (produced_ >= total_) return false;
    const double t = static_cast<double>(produced_) / fs_;
    // The sample at or before t; the cursor only moves forward.
    while (sourceIndex_ + 1 < count_) {
        loadUpTo(sourceIndex_ + 1);
        if (!(windowTimes_[(sourceIndex_ + 1) % kWindow] <= t)) break;
        ++sourceIndex_;
    }
    std::size_t first = sourceIndex_ > 0 ? sourceIndex_ - 1 : 0;
    if (first + 4 > count_) first = count_ - 4;
    loadUpTo(first + 3);
    double weight[4];
    for (std::size_t m = 0; m < 4; ++m) {
        double w = 1.0;
        for (std::size_t n = 0; n < 4; ++n) {
            if (n != m) {
                w *= (t - windowTimes_[(first + n) % kWindow]) /
                     (windowTimes_[(first + m) % kWindow] - windowTimes_[(first + n) % kWindow]);
            }
        }
        weight[m] = w;
    }
    for (std::size_t p = 0; p < 3; ++p) {
        double sum = 0.0;
        for (std::size_t m = 0; m < 4; ++m) sum += weight[m] * windowValues_[(first + m) % kWindow][p];
        phase[p] = sum;
    }
    time = rec_.origin.timeOf(t);
    ++produced_;
    return true;
}

bool BuildRateSamples::atRate(const SampleSection& s) const { return std::fabs(s.rate - fs_) <= 1e-9 * fs_; }

void BuildRateSamples::openSection() {
    index_ = 0;
    resampler_.reset();
    ready_.clear();
    readyAt_ = 0;
    fed_ = 0;
    if (section_ >= rec_.sections.size()) return;
    const SampleSection& s = rec_.sections[section_];
    if (atRate(s)) {
        expected_ = s.count;
        return;
    }
    expected_ = Resampler::outputFramesFor(s.count, s.rate, fs_);
    resampler_ = std::make_unique<Resampler>(s.rate, fs_, 3);
}

void BuildRateSamples::refill() {
    const SampleSection& s = rec_.sections[section_];
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_));
    readyAt_ = 0;
    while (ready_.size() < 3 && fed_ < s.count) {
        const std::size_t frames = std::min(kFeedFrames, s.count - fed_);
        staging_.resize(frames * 3);
        for (std::size_t i = 0; i < frames; ++i) take(&staging_[i * 3]);
        fed_ += frames;
        resampler_->push(staging_.data(), frames, ready_);
        if (fed_ == s.count) resampler_->finish(ready_);
    }
}

bool BuildRateSamples::next(double phase[3], double& time) {
    if (onTimes_) return nextOnTimes(phase, time);
    while (section_ < rec_.sections.size()) {
        const SampleSection& s = rec_.sections[section_];
        if (index_ < expected_) {
            if (!resampler_) {
                const std::size_t i = s.first + index_;
                take(phase);
                time = rec_.origin.timeOf(s.startElapsed + static_cast<double>(index_) / s.rate);
                sourceIndex_ = i;
                ++index_;
                return true;
            }
            if (readyAt_ + 3 > ready_.size()) refill();
            if (readyAt_ + 3 <= ready_.size()) {
                for (std::size_t p = 0; p < 3; ++p) phase[p] = ready_[readyAt_ + p];
                readyAt_ += 3;
                time = rec_.origin.timeOf(s.startElapsed + static_cast<double>(index_) / fs_);
                sourceIndex_ = s.first + std::min(s.count - 1, static_cast<std::size_t>(static_cast<double>(index_) *
                                                                                         s.rate / fs_));
                ++index_;
                return true;
            }
            // The resampler ended early: the section is shorter than planned.
            total_ -= expected_ - index_;
        }
        ++section_;
        openSection();
    }
    return false;
}
