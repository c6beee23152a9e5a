#include "io/sv/sv_sample_source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace {

// A live interface with no stream at all gives up after this many read
// timeouts (of a tenth of a second each).
constexpr int kMaxWaits = 50;
// Restarts said one by one; the rest only counted.
constexpr std::size_t kRestartNotes = 10;

}  // namespace

SvSampleSource::SvSampleSource(std::unique_ptr<PacketReader> packets, std::string name, const SvStreamOptions& options)
    : packets_(std::move(packets)), name_(std::move(name)), stream_(*packets_, options) {}

std::unique_ptr<SvSampleSource> SvSampleSource::openFile(const std::string& path, const SvStreamOptions& options,
                                                         std::string& error) {
    std::unique_ptr<PacketReader> packets = openCaptureFile(path, error);
    if (!packets) return nullptr;
    return open(std::move(packets), path, options, error);
}

std::unique_ptr<SvSampleSource> SvSampleSource::open(std::unique_ptr<PacketReader> packets, const std::string& name,
                                                     const SvStreamOptions& options, std::string& error) {
    std::unique_ptr<SvSampleSource> source(new SvSampleSource(std::move(packets), name, options));
    SvStreamReader& stream = source->stream_;
    SvSample sample;
    for (int waits = 0;;) {
        const SvStreamReader::Status status = stream.next(sample);
        if (status == SvStreamReader::Status::Sample) break;
        if (status == SvStreamReader::Status::Error) {
            error = name + ": " + stream.error();
            return nullptr;
        }
        if (status == SvStreamReader::Status::Timeout && ++waits < kMaxWaits) continue;
        if (stream.svId()) {
            error = name + ": cannot tell the sample rate of stream '" + *stream.svId() +
                    "': its smpCnt never wraps at a second and its frames give no smpRate; give the rate";
        } else {
            error = name + ": no sampled-values stream" +
                    (options.select.svId || options.select.appId || options.select.source ? " that fits the selection"
                                                                                          : "") +
                    (status == SvStreamReader::Status::Timeout ? " arrived" : " in the capture");
            if (stream.malformed().total() > 0) {
                error += " (" + std::to_string(stream.malformed().total()) + " malformed frames)";
            }
        }
        return nullptr;
    }
    source->first_ = sample;
    source->midnight_ = svMidnightOf(sample.index, stream.rate());
    return source;
}

bool SvSampleSource::prepare(double sampleRate, const ModelInputs& ports, std::string& error) {
    ports_ = ports;
    outputRate_ = sampleRate;
    resampler_.reset();
    const double rate = static_cast<double>(stream_.rate());
    if (!(std::fabs(rate - sampleRate) <= 1e-9 * sampleRate)) {
        try {
            resampler_ = std::make_unique<Resampler>(rate, sampleRate, 3,
                                                     live_ ? Resampler::Latency::Live : Resampler::Latency::Batch);
        } catch (const std::exception& e) {
            error = name_ + ": " + e.what();
            return false;
        }
    }
    startTime_ = svTimeOf(first_->index, stream_.rate(), midnight_);
    prepared_ = true;
    return true;
}

std::optional<double> SvSampleSource::fractionConsumed() const {
    const double f = packets_->fractionRead();
    if (f <= 0.0) return std::nullopt;
    return std::min(f, 1.0);
}

bool SvSampleSource::pull(SvSample& sample) {
    if (first_) {
        sample = *first_;
        first_.reset();
    } else {
        if (ended_) return false;
        while (true) {
            const SvStreamReader::Status status = stream_.next(sample);
            if (status == SvStreamReader::Status::Sample) {
                if (sample.afterBreak) {
                    endNote_ = "the stream broke off for more than a second and resumed at " +
                               std::to_string(svTimeOf(sample.index, stream_.rate(), midnight_)) +
                               " s; the samples end at the break";
                    ended_ = true;
                    return false;
                }
                break;
            }
            if (status == SvStreamReader::Status::Timeout) {
                if (!stream_.counts().stops) continue;
                endNote_ = "the stream stopped";
            } else if (status == SvStreamReader::Status::Error) {
                error_ = name_ + ": " + stream_.error();
            } else if (stream_.counts().stops > 0) {
                endNote_ = "the stream stopped while the capture went on";
            }
            ended_ = true;
            return false;
        }
    }
    // Every sample, not only flagged ones: the filler keeps the past it
    // bridges from.
    if (filler_ != nullptr) filler_->fill(sample.phase, sample.flags);
    if (sample.flags.restart()) noteRestart(sample);
    return true;
}

void SvSampleSource::noteRestart(const SvSample& sample) {
    ++restarts_;
    if (restartNotes_.size() >= kRestartNotes) return;
    const uint32_t rate = stream_.rate();
    const int64_t second = sample.index / rate;
    const std::time_t utc = static_cast<std::time_t>(second);
    std::tm parts{};
    gmtime_r(&utc, &parts);
    char line[160];
    std::snprintf(line, sizeof line,
                  "model restarted after a gap of %llu samples (%.4f s) at %04d-%02d-%02d %02d:%02d:%09.6f UTC",
                  static_cast<unsigned long long>(sample.flags.restartAfterGap),
                  static_cast<double>(sample.flags.restartAfterGap) / rate,
                  parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                  parts.tm_sec + static_cast<double>(sample.index - second * rate) / rate);
    restartNotes_.emplace_back(line);
}

SampleSource::Status SvSampleSource::next(ModelInputs& in) {
    if (!prepared_) {
        error_ = name_ + ": the stream was not prepared for a sample rate";
        return Status::Error;
    }
    if (resampler_) return nextResampled(in);
    SvSample sample;
    if (!pull(sample)) return error_.empty() ? Status::End : Status::Error;
    in = ports_;
    std::copy(sample.phase, sample.phase + 3, in.phase);
    in.time = svTimeOf(sample.index, stream_.rate(), midnight_);
    flags_ = sample.flags;
    return Status::Sample;
}

SampleSource::Status SvSampleSource::nextResampled(ModelInputs& in) {
    const double ratio = static_cast<double>(stream_.rate()) / outputRate_;
    while (readyAt_ + 3 > ready_.size() && outputCount_ < outputLimit_) {
        ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_));
        readyAt_ = 0;
        if (outputLimit_ != UINT64_MAX) break;  // input ended and drained
        staging_.clear();
        SvSample sample;
        std::size_t fed = 0;
        while (fed < feedSamples_ && pull(sample)) {
            staging_.insert(staging_.end(), sample.phase, sample.phase + 3);
            inputFlags_.push_back(sample.flags);
            if (sample.flags.restart()) restartInputs_.push_back({inputCount_ + fed, sample.flags.restartAfterGap});
            ++fed;
        }
        if (!error_.empty()) return Status::Error;
        inputCount_ += fed;
        try {
            resampler_->push(staging_.data(), fed, ready_);
            if (fed < feedSamples_) {
                resampler_->finish(ready_);
                outputLimit_ = Resampler::outputFramesFor(inputCount_, stream_.rate(), outputRate_);
            }
        } catch (const std::exception& e) {
            error_ = name_ + ": " + e.what();
            return Status::Error;
        }
    }
    if (readyAt_ + 3 > ready_.size() || outputCount_ >= outputLimit_) return Status::End;

    in = ports_;
    std::copy(ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_),
              ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_ + 3), in.phase);
    readyAt_ += 3;
    const uint64_t j = outputCount_++;
    in.time = startTime_ + static_cast<double>(j) / outputRate_;
    // An output sample is as good as the input samples next to its instant.
    const double at = static_cast<double>(j) * ratio;
    const uint64_t nearest = static_cast<uint64_t>(std::floor(at));
    const uint64_t from = nearest > 0 ? nearest - 1 : 0;
    while (inputFlagsBase_ < from && !inputFlags_.empty()) {
        inputFlags_.pop_front();
        ++inputFlagsBase_;
    }
    flags_ = SampleGapFlags{};
    // The model starts afresh at the first output sample at or after the
    // instant of the input sample it restarts at.
    while (!restartInputs_.empty() && nearest >= restartInputs_.front().first) {
        flags_.restartAfterGap = restartInputs_.front().second;
        restartInputs_.pop_front();
    }
    for (uint64_t i = from; i <= nearest + 1 && i - inputFlagsBase_ < inputFlags_.size(); ++i) {
        const SampleGapFlags& f = inputFlags_[static_cast<std::size_t>(i - inputFlagsBase_)];
        flags_.missing = flags_.missing || f.missing;
        flags_.invalid = flags_.invalid || f.invalid;
        flags_.marked = flags_.marked || f.marked;
        flags_.quality = static_cast<ReportQuality>(flags_.quality | f.quality);
    }
    return Status::Sample;
}
