#include "io/input_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "io/gap_bridge.h"
#include "model/facts/model_facts.h"

namespace {

using facts::kTimeClamp;

std::string number(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string plural(uint64_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

double timeResolution(double time) {
    const double magnitude = std::fabs(time);
    if (!std::isfinite(magnitude)) return 0.0;
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

RateFinding findSampleRate(const double* times, std::size_t count) {
    RateFinding found;
    std::size_t start = 0;
    while (start < count && !std::isfinite(times[start])) ++start;
    // The first even run: steps forward, none a jump.
    std::size_t end = start;
    while (end + 1 < count) {
        const double step = times[end + 1] - times[end];
        if (!std::isfinite(times[end + 1]) || !(step > 0.0) || step > kTimeJumpSeconds) break;
        ++end;
        if (times[end] - times[start] >= kRateWindowSeconds) break;
    }
    if (end == start) {
        found.how = "fewer than two increasing sample times at the start";
        return found;
    }
    const double steps = static_cast<double>(end - start);
    const double span = times[end] - times[start];
    const double rate = steps / span;
    // Each end of the span is rounded to the resolution of a double there
    // (and a text file may have rounded more, but evenly over many steps).
    const double resolution = timeResolution(times[start]) + timeResolution(times[end]);
    found.uncertainty = resolution / span;
    const double relative = std::max(found.uncertainty, 1e-6);
    const double whole = std::round(rate);
    char how[160];
    if (whole > 0.0 && std::fabs(rate - whole) <= relative * rate) {
        found.rate = whole;
        std::snprintf(how, sizeof how, "mean of %.0f steps over the first %.6g s, whole hertz", steps, span);
    } else {
        found.rate = rate;
        std::snprintf(how, sizeof how, "mean of %.0f steps over the first %.6g s", steps, span);
    }
    found.how = how;
    return found;
}

bool isBuildRate(double rate, double buildRate) {
    return std::fabs(rate - buildRate) <= kSameRateTolerance * buildRate;
}

std::string rateAgainstBuildError(const RateFinding& found, const std::string& buildTag, double buildRate) {
    if (found.rate == 0.0 || isBuildRate(found.rate, buildRate) || found.uncertainty > kSameRateTolerance) return "";
    return "the samples are at " + number("%.10g", found.rate) + " Hz (" + found.how + "), but the " + buildTag +
           " build takes " + number("%.10g", buildRate) + " Hz";
}

std::string deliverableAgainstBuildError(const std::string& which, double period, double buildRate) {
    const double buildPeriod = 1.0 / buildRate;
    if (std::fabs(period - buildPeriod) <= 1e-9 * buildPeriod) return "";
    char text[200];
    std::snprintf(text, sizeof text, "registers a sample time of %g s (%g Hz), but the run is at %g Hz", period,
                  period > 0.0 ? 1.0 / period : 0.0, buildRate);
    return which + " " + text + "; give the --build of its rate";
}

std::string buildTagForRate(double rate) {
    if (rate <= 4000.0) return "4k";
    if (rate <= 10000.0) return "10k";
    return "14p4k";
}

std::string reportRateError(double reportRate) {
    if (reportRate >= kLowestReportRate && reportRate <= kHighestReportRate && reportRate == std::floor(reportRate)) {
        return "";
    }
    return "report rate " + number("%.10g", reportRate) + " is not a whole number from " +
           std::to_string(kLowestReportRate) + " to " + std::to_string(kHighestReportRate) + " reports per second";
}

std::string nominalFrequencyError(double nominalFrequency) {
    if (nominalFrequency >= kLowestNominalFrequency && nominalFrequency <= kHighestNominalFrequency) return "";
    return "nominal frequency " + number("%.10g", nominalFrequency) + " Hz is outside " +
           number("%g", kLowestNominalFrequency) + ".." + number("%g", kHighestNominalFrequency) +
           " Hz (the block is designed for 50 and 60 Hz systems)";
}

double settlingSeconds() { return kFilterMemorySeconds; }

double reportGridLimit(double reportRate) { return kTimeClamp + 1.0 + kTimeClamp / reportRate; }

InputChecks::InputChecks(std::string name, double sampleRate, Options options)
    : name_(std::move(name)),
      fs_(sampleRate),
      options_(options),
      window_(static_cast<uint64_t>(std::llround(sampleRate))) {}

void InputChecks::observe(const ModelInputs& in) {
    if (samples_ == 0) omega_ = 2.0 * M_PI * in.nominalFrequency / fs_;
    const bool finitePhases = std::isfinite(in.phase[0]) && std::isfinite(in.phase[1]) && std::isfinite(in.phase[2]);
    if (samples_ < window_) {
        // One DFT bin at the nominal frequency over the first second, on the
        // sample count (not Time, which may jump).
        const double angle = omega_ * static_cast<double>(samples_);
        const double c = std::cos(angle), s = std::sin(angle);
        if (finitePhases) {
            for (int p = 0; p < 3; ++p) {
                re_[p] += in.phase[p] * c;
                im_[p] -= in.phase[p] * s;
            }
        }
    } else if (!judged_) {
        judgeSequence();
    }
    ++samples_;
    if (!options_.sourceCountsGaps) {
        if (!finitePhases || !std::isfinite(in.time)) {
            if (missing_++ == 0) firstMissing_ = samples_;
        }
        if (std::isfinite(in.time)) {
            if (haveTime_) {
                const double step = in.time - previousTime_;
                if (!(step > 0.0) || step > kTimeJumpSeconds) {
                    if (jumps_++ == 0) firstJump_ = samples_;
                }
            }
            previousTime_ = in.time;
        }
    }
    if (std::isfinite(in.time) && !haveTime_) firstTime_ = in.time;
    if (std::isfinite(in.time)) haveTime_ = true;
    if (pastLimitSample_ == 0 && in.reportRate > 0 && in.time > reportGridLimit(in.reportRate)) {
        pastLimitSample_ = samples_;
        pastLimitTime_ = in.time;
        pastLimitRate_ = in.reportRate;
    }
}

void InputChecks::judgeSequence() {
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
        sequenceWarning_ = "warning: " + name_ + ": over the first second the negative sequence (peak " +
                           number("%.4g", negative) + ") is larger than the positive one (" +
                           number("%.4g", positive) +
                           "): are two phases swapped? The block measures the positive sequence";
    }
}

std::vector<std::string> InputChecks::takeWarnings(bool atEnd) {
    std::vector<std::string> out;
    if (atEnd && !judged_) judgeSequence();
    if (!sequenceWarning_.empty() && !sequenceTold_) {
        sequenceTold_ = true;
        out.push_back(sequenceWarning_);
    }
    if (missing_ > 0) {
        out.push_back("warning: " + name_ + ": sample " + std::to_string(firstMissing_) + ": " +
                      plural(missing_, "sample") +
                      " with a missing value (NaN or infinite time or phase), the first here; the block's outputs "
                      "are NaN after them until its filters recover");
        missing_ = 0;
    }
    if (jumps_ > 0) {
        out.push_back("warning: " + name_ + ": sample " + std::to_string(firstJump_) +
                      ": time stands still, runs back or jumps " + plural(jumps_, "time") + ", the first here");
        jumps_ = 0;
    }
    if (pastLimitSample_ != 0 && !pastLimitTold_) {
        pastLimitTold_ = true;
        out.push_back("warning: " + name_ + ": sample " + std::to_string(pastLimitSample_) + ": Time " +
                      number("%.17g", pastLimitTime_) + " s is past " +
                      number("%.17g", reportGridLimit(pastLimitRate_)) + " s, from where the report grid of " +
                      std::to_string(pastLimitRate_) + " reports/s finds no report instant (keep Time below 2e9 s)");
    }
    if (atEnd && !lengthTold_ && samples_ > 0) {
        lengthTold_ = true;
        const double length = static_cast<double>(samples_) / fs_;
        if (length < settlingSeconds()) {
            out.push_back("warning: " + name_ + ": the input holds " + number("%.6g", length) + " s (" +
                          plural(samples_, "sample") + "), shorter than the " + number("%.3g", settlingSeconds()) +
                          " s the filters need to settle: every report of it rests on start-up values");
        }
    }
    return out;
}
