#include "io/input_watch.h"

#include "io/reporting_capacity.h"
#include "model/facts/model_facts.h"

InputWatch::InputWatch(SampleSource& inner, double sampleRate)
    : inner_(inner),
      checks_(inner.name(), sampleRate, InputChecks::Options{true}),
      fs_(sampleRate),
      capacity_(reportingCapacity(sampleRate)) {}

SampleSource::Status InputWatch::next(ModelInputs& in) {
    const Status status = inner_.next(in);
    if (status != Status::Sample) return status;
    checks_.observe(in);
    ++samples_;
    // A sample CSV carries the block's ReportRate port itself, which may ask
    // for more than the build can serve; said, not refused (the block
    // clamps the port to 1..1200 and runs as a host would drive it).
    if (capacityWarning_.empty() && in.reportRate > capacity_) {
        capacityWarning_ = "warning: " + name() + ": sample " + std::to_string(samples_) + ": " +
                           reportingCapacityProblem(
                               fs_, in.reportRate > facts::kHighestReportRate ? facts::kHighestReportRate : in.reportRate);
    }
    return status;
}

std::vector<std::string> InputWatch::warnings(bool inputEnded) {
    std::vector<std::string> out = checks_.takeWarnings(inputEnded);
    if (!capacityWarning_.empty()) out.push_back(capacityWarning_);
    return out;
}
