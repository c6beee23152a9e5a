// Watches the samples of a run for what deserves a warning and passes them
// on unchanged: the checks every road shares (io/input_checks.h) on a
// sample source of the tool, and a ReportRate port beyond the build's
// reporting capacity. The source itself warns of its missing values and
// time jumps, in its own terms (lines of a file, a recording's gaps).
#ifndef ORVANE_IO_INPUT_WATCH_H
#define ORVANE_IO_INPUT_WATCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/input_checks.h"
#include "io/sample_source.h"

class InputWatch : public SampleSource {
public:
    InputWatch(SampleSource& inner, double sampleRate);

    const std::string& name() const override { return inner_.name(); }
    std::optional<uint64_t> sampleCount() const override { return inner_.sampleCount(); }
    std::optional<double> fractionConsumed() const override { return inner_.fractionConsumed(); }
    const std::string& error() const override { return inner_.error(); }
    ReportQuality sampleQuality() const override { return inner_.sampleQuality(); }
    bool sampleRestarts() const override { return inner_.sampleRestarts(); }
    Status next(ModelInputs& in) override;

    // One line each ("warning: NAME: ..."), no line ends; call after the run.
    // `inputEnded`: the run read the input to its end (not stopped by a
    // fault), so the checks of the whole input are judged too.
    std::vector<std::string> warnings(bool inputEnded = true);

private:
    SampleSource& inner_;
    InputChecks checks_;
    double fs_;
    uint64_t samples_ = 0;
    int32_t capacity_;  // the build's reporting capacity, reports/s
    std::string capacityWarning_;
};

#endif  // ORVANE_IO_INPUT_WATCH_H
