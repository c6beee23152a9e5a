// Watches the samples of a run for what deserves a warning and passes them
// on unchanged: phases in the wrong order (a negative sequence larger than
// the positive one over the first second), a `Time` past the point from
// which the block's report grid finds no report instant any more, and a
// ReportRate port beyond the build's reporting capacity.
#ifndef ORVANE_IO_INPUT_WATCH_H
#define ORVANE_IO_INPUT_WATCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/sample_source.h"

class InputWatch : public SampleSource {
public:
    InputWatch(SampleSource& inner, double sampleRate);

    const std::string& name() const override { return inner_.name(); }
    std::optional<uint64_t> sampleCount() const override { return inner_.sampleCount(); }
    std::optional<double> fractionConsumed() const override { return inner_.fractionConsumed(); }
    const std::string& error() const override { return inner_.error(); }
    bool sampleMarked() const override { return inner_.sampleMarked(); }
    bool sampleRestarts() const override { return inner_.sampleRestarts(); }
    Status next(ModelInputs& in) override;

    // One line each ("warning: NAME: ..."), no line ends; call after the run.
    std::vector<std::string> warnings();

private:
    void judgeSequence();

    SampleSource& inner_;
    double fs_;
    uint64_t samples_ = 0;
    uint64_t window_;  // samples of the first second
    double omega_ = 0.0;  // rad per sample at the nominal frequency
    double re_[3] = {0, 0, 0}, im_[3] = {0, 0, 0};
    bool judged_ = false;
    std::string sequenceWarning_;
    std::string timeWarning_;
    int32_t capacity_;  // the build's reporting capacity, reports/s
    std::string capacityWarning_;
};

// The last `Time` at which the report grid of `reportRate` reports per
// second still finds report instants: the block clamps Time and the report
// index to +-2e9, so past 2e9 + 1 + 2e9/R seconds no instant is found.
double reportGridLimit(double reportRate);

#endif  // ORVANE_IO_INPUT_WATCH_H
