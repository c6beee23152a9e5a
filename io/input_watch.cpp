#include "io/input_watch.h"

#include <cmath>
#include <cstdio>

#include "io/reporting_capacity.h"
#include "model/facts/model_facts.h"

namespace {

std::string number(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double reportGridLimit(double reportRate) { return facts::kTimeClamp + 1.0 + facts::kTimeClamp / reportRate; }

InputWatch::InputWatch(SampleSource& inner, double sampleRate)
    : inner_(inner),
      fs_(sampleRate),
      window_(static_cast<uint64_t>(std::llround(sampleRate))),
      capacity_(reportingCapacity(sampleRate)) {}

SampleSource::Status InputWatch::next(ModelInputs& in) {
    const Status status = inner_.next(in);
    if (status != Status::Sample) return status;
    if (samples_ == 0) omega_ = 2.0 * M_PI * in.nominalFrequency / fs_;
    if (samples_ < window_) {
        // One DFT bin at the nominal frequency over the first second, on the
        // sample count (not Time, which may jump).
        const double angle = omega_ * static_cast<double>(samples_);
        const double c = std::cos(angle), s = std::sin(angle);
        if (std::isfinite(in.phase[0]) && std::isfinite(in.phase[1]) && std::isfinite(in.phase[2])) {
            for (int p = 0; p < 3; ++p) {
                re_[p] += in.phase[p] * c;
                im_[p] -= in.phase[p] * s;
            }
        }
    } else if (!judged_) {
        judgeSequence();
    }
    ++samples_;
    if (timeWarning_.empty() && in.reportRate > 0 && in.time > reportGridLimit(in.reportRate)) {
        timeWarning_ = "warning: " + name() + ": sample " + std::to_string(samples_) + ": Time " +
                       number("%.17g", in.time) + " s is past " + number("%.17g", reportGridLimit(in.reportRate)) +
                       " s, from where the report grid of " + std::to_string(in.reportRate) +
                       " reports/s finds no report instant (keep Time below 2e9 s)";
    }
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

void InputWatch::judgeSequence() {
    judged_ = true;
    // At least two cycles of the nominal frequency, or it tells nothing.
    if (!(omega_ > 0.0) || static_cast<double>(std::min(samples_, window_)) * omega_ < 4.0 * M_PI) return;
    // a = e^{j 2pi/3}: positive sequence (va + a vb + a^2 vc)/3, negative
    // (va + a^2 vb + a vc)/3.
    const double ar = -0.5, ai = std::sqrt(3.0) / 2.0;
    auto sequence = [&](double sign) {
        const double r = re_[0] + (ar * re_[1] - sign * ai * im_[1]) + (ar * re_[2] + sign * ai * im_[2]);
        const double i = im_[0] + (ar * im_[1] + sign * ai * re_[1]) + (ar * im_[2] - sign * ai * re_[2]);
        return std::hypot(r, i);
    };
    // Peak amplitudes: a bin sums A/2 per sample, a sequence three phases.
    const double scale = 2.0 / (3.0 * static_cast<double>(std::min(samples_, window_)));
    const double positive = scale * sequence(1.0), negative = scale * sequence(-1.0);
    if (negative > positive) {
        sequenceWarning_ = "warning: " + name() + ": over the first second the negative sequence (peak " +
                           number("%.4g", negative) + ") is larger than the positive one (" +
                           number("%.4g", positive) +
                           "): are two phases swapped? The block measures the positive sequence";
    }
}

std::vector<std::string> InputWatch::warnings() {
    if (!judged_) judgeSequence();
    std::vector<std::string> out;
    if (!sequenceWarning_.empty()) out.push_back(sequenceWarning_);
    if (!timeWarning_.empty()) out.push_back(timeWarning_);
    if (!capacityWarning_.empty()) out.push_back(capacityWarning_);
    return out;
}
