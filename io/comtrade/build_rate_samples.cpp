#include "io/comtrade/build_rate_samples.h"

#include <algorithm>
#include <cmath>

#include "io/comtrade/comtrade_error.h"

namespace {

constexpr std::size_t kFeedFrames = 8192;

}  // namespace

BuildRateSamples::BuildRateSamples(const ComtradeRecording& recording, double sampleRate)
    : rec_(recording), fs_(sampleRate) {
    for (const SampleSection& s : rec_.sections) {
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
        for (std::size_t p = 0; p < 3; ++p) {
            const std::vector<double>& v = rec_.phases[p];
            for (std::size_t i = s.first; i < s.first + s.count; ++i) {
                if (std::isnan(v[i])) {
                    const ComtradeAnalogChannel& c = rec_.config.analogs[static_cast<std::size_t>(rec_.phaseChannels[p])];
                    throw ComtradeError(rec_.dataPath, 0, 0, "",
                                        "sample " + std::to_string(i + 1) + " of channel '" + c.id +
                                            "' is missing; a recording with gaps cannot be resampled");
                }
            }
        }
    }
    std::size_t atOtherRates = 0;
    for (const SampleSection& s : rec_.sections) atOtherRates += atRate(s) ? 0 : 1;
    onTimes_ = rec_.sections.size() > 1 && atOtherRates > 0 && rec_.size() >= 4;
    if (onTimes_) {
        times_.reserve(rec_.size());
        for (const SampleSection& s : rec_.sections) {
            for (std::size_t i = 0; i < s.count; ++i) times_.push_back(s.startElapsed + static_cast<double>(i) / s.rate);
        }
        // Instants up to the last sample: interpolation, never extrapolation.
        total_ = static_cast<std::size_t>(std::floor(times_.back() * fs_ + 1e-9)) + 1;
        return;
    }
    openSection();
}

bool BuildRateSamples::nextOnTimes(double phase[3], double& time) {
    if (produced_ >= total_) return false;
    const double t = static_cast<double>(produced_) / fs_;
    // The sample at or before t; the cursor only moves forward.
    while (sourceIndex_ + 1 < times_.size() && times_[sourceIndex_ + 1] <= t) ++sourceIndex_;
    std::size_t first = sourceIndex_ > 0 ? sourceIndex_ - 1 : 0;
    if (first + 4 > times_.size()) first = times_.size() - 4;
    double weight[4];
    for (std::size_t m = 0; m < 4; ++m) {
        double w = 1.0;
        for (std::size_t n = 0; n < 4; ++n) {
            if (n != m) w *= (t - times_[first + n]) / (times_[first + m] - times_[first + n]);
        }
        weight[m] = w;
    }
    for (std::size_t p = 0; p < 3; ++p) {
        const std::vector<double>& v = rec_.phases[p];
        double sum = 0.0;
        for (std::size_t m = 0; m < 4; ++m) sum += weight[m] * v[first + m];
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
        for (std::size_t i = 0; i < frames; ++i) {
            for (std::size_t p = 0; p < 3; ++p) staging_[i * 3 + p] = rec_.phases[p][s.first + fed_ + i];
        }
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
                for (std::size_t p = 0; p < 3; ++p) phase[p] = rec_.phases[p][i];
                time = rec_.timeOf(i);
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
