#include "io/comtrade/comtrade_sample_source.h"

#include <stdexcept>

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
    try {
        samples_ = std::make_unique<BuildRateSamples>(recording_, sampleRate);
    } catch (const std::exception& e) {
        // A gap that resampling would smear, or rates libsoxr refuses.
        error = e.what();
        return false;
    }
    return true;
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
    return Status::Sample;
}
