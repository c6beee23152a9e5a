// Samples of a generated three-phase signal: sample k at time
// startTime + k/Fs, with the same configuration-port values in every sample.
#ifndef ORVANE_SIGNALS_SIGNAL_SAMPLE_SOURCE_H
#define ORVANE_SIGNALS_SIGNAL_SAMPLE_SOURCE_H

#include "io/sample_source.h"
#include "signals/three_phase_signal.h"

class SignalSampleSource : public SampleSource {
public:
    // `ports` gives the configuration ports (report rate, calibration,
    // nominal frequency, report mode); its phases and time are replaced.
    SignalSampleSource(std::string name, const ThreePhaseSignalParameters& spec, double sampleRate, double startTime,
                       uint64_t sampleCount, const ModelInputs& ports);

    const std::string& name() const override { return name_; }
    std::optional<uint64_t> sampleCount() const override { return sampleCount_; }
    std::optional<double> fractionConsumed() const override;
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }

private:
    std::string name_;
    ThreePhaseSignal signal_;
    double sampleRate_;
    double startTime_;
    uint64_t sampleCount_;
    uint64_t nextSample_ = 0;
    ModelInputs ports_;
    std::string error_;
};

#endif  // ORVANE_SIGNALS_SIGNAL_SAMPLE_SOURCE_H
