#include "signals/signal_sample_source.h"

SignalSampleSource::SignalSampleSource(std::string name, const ThreePhaseSignalParameters& spec, double sampleRate,
                                       double startTime, uint64_t sampleCount, const ModelInputs& ports)
    : name_(std::move(name)),
      signal_(spec),
      sampleRate_(sampleRate),
      startTime_(startTime),
      sampleCount_(sampleCount),
      ports_(ports) {}

std::optional<double> SignalSampleSource::fractionConsumed() const {
    if (sampleCount_ == 0) return 1.0;
    return static_cast<double>(nextSample_) / static_cast<double>(sampleCount_);
}

SampleSource::Status SignalSampleSource::next(ModelInputs& in) {
    if (nextSample_ >= sampleCount_) return Status::End;
    in = ports_;
    // k/Fs rather than a running sum of Ts: no drift over long runs, and
    // whole seconds fall exactly on whole seconds.
    in.time = startTime_ + static_cast<double>(nextSample_) / sampleRate_;
    signal_.sample(in.time, in.phase);
    ++nextSample_;
    return Status::Sample;
}
