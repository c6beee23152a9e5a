#include "io/report_quality_tracker.h"

#include <cmath>

namespace {

// The lowest tuning frequency of the block: the longest period its
// cascade can span, used when the nominal frequency is not a number.
constexpr double kLongestPeriodFrequency = 25.0;

}  // namespace

bool sampleNonFinite(const ModelInputs& in, const ModelOutputs& out) {
    return !std::isfinite(in.phase[0]) || !std::isfinite(in.phase[1]) || !std::isfinite(in.phase[2]) ||
           !std::isfinite(out.magnitude) || !std::isfinite(out.angle) || !std::isfinite(out.frequency) ||
           !std::isfinite(out.rocof);
}

ReportQuality ReportQualityTracker::next(const ModelInputs& in, const ModelOutputs& out, ReportQuality source,
                                         bool restarted) {
    if (restarted || pendingRestart_) {
        sinceStart_ = 0;
        sinceRestart_ = true;
        pendingRestart_ = false;
    }
    ReportQuality word = source;
    // A report is made from the samples of two nominal periods (the phasor
    // cascade) and, behind it, the frequency smoother's and the ROCOF
    // stage's memory: until that much has passed since the start, some of
    // it is the zeros the filters started with.
    const double f0 = in.nominalFrequency > 0.0 && std::isfinite(in.nominalFrequency) ? in.nominalFrequency
                                                                                      : kLongestPeriodFrequency;
    const double filling = (settlingSeconds_ + 2.0 / f0) * sampleRate_;
    if (static_cast<double>(sinceStart_) < filling) {
        word |= kQualityStartUp;
        if (sinceRestart_) word |= kQualityRestarted;
    }
    ++sinceStart_;
    if (sampleNonFinite(in, out)) word |= kQualityNonFinite;
    if (unsynchronised_) word |= kQualityUnsynchronised;
    return word;
}
