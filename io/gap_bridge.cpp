#include "io/gap_bridge.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::size_t GapBridge::periodFor(double sampleRate, double nominalFrequency) {
    const double samples = std::round(sampleRate / nominalFrequency);
    // A nonsense nominal frequency (0, NaN) gives one sample: the bridge
    // then holds the last value.
    return samples >= 1.0 && samples < 1e7 ? static_cast<std::size_t>(samples) : 1;
}

GapBridge::GapBridge(double sampleRate, double nominalFrequency)
    : period_(periodFor(sampleRate, nominalFrequency)),
      nominalPeriod_(period_ > 1 ? sampleRate / nominalFrequency : 1.0),
      memory_(static_cast<std::size_t>(std::ceil(sampleRate * kFilterMemorySeconds))),
      proven_(static_cast<std::size_t>(std::floor(sampleRate * kBridgeProvenSeconds + 1e-9))),
      // Periods up to one and a half nominal ones are measured; the
      // interpolation reaches two samples past the period (two periods
      // held: room to spare for a nominal period rounded down).
      capacity_(2 * period_ + 4),
      // Before the first period, nothing is known: a missing value stays so.
      history_(3 * capacity_, std::numeric_limits<double>::quiet_NaN()),
      lostRing_(memory_, 0),
      denseLimit_(static_cast<std::size_t>(std::floor(static_cast<double>(memory_) * kBridgeDenseLossShare))),
      sinceBridged_(memory_ + 1),
      sinceMissing_(memory_ + 1) {}

double GapBridge::past(std::size_t back, int p) const {
    return history_[3 * ((at_ + capacity_ - back) % capacity_) + static_cast<std::size_t>(p)];
}

double GapBridge::bridgingPeriod() const {
    return intervalCount_ == kPeriodIntervals ? intervalSum_ / static_cast<double>(kPeriodIntervals)
                                              : nominalPeriod_;
}

double GapBridge::predict(int p) const {
    const double period = bridgingPeriod();
    // Too short a period for the four points (a nonsense nominal
    // frequency): hold the last value.
    if (!(period >= 3.0)) return past(1, p);
    const double whole = std::floor(period);
    const std::size_t i = static_cast<std::size_t>(whole);
    // x(n - period) lies `mu` of a sample before x[n - i]; Lagrange cubic
    // through x[n-i+1], x[n-i], x[n-i-1], x[n-i-2] (nodes +1, 0, -1, -2),
    // evaluated at s = -mu. Exact for a cubic, and off by a few parts in a
    // million of the amplitude for a fundamental at 40 samples a cycle.
    const double s = -(period - whole);
    const double w0 = s * (s + 1.0) * (s + 2.0) / 6.0;
    const double w1 = -(s - 1.0) * (s + 1.0) * (s + 2.0) / 2.0;
    const double w2 = (s - 1.0) * s * (s + 2.0) / 2.0;
    const double w3 = -(s - 1.0) * s * (s + 1.0) / 6.0;
    return w0 * past(i - 1, p) + w1 * past(i, p) + w2 * past(i + 1, p) + w3 * past(i + 2, p);
}

void GapBridge::noteCrossings(const double phase[3], const bool received[3]) {
    const double now = static_cast<double>(index_);
    for (int p = 0; p < 3; ++p) {
        // Only received samples time the crossings: a bridged one would
        // measure the period the bridge itself assumed.
        if (!received[p]) continue;
        const double before = previous_[p];
        const double value = phase[p];
        const bool had = previousReceived_[p];
        const uint64_t gap = index_ - previousIndex_[p];
        previous_[p] = value;
        previousReceived_[p] = true;
        previousIndex_[p] = index_;
        if (!had) continue;
        if (gap > 1) {
            // A crossing within the gap has no instant to take, and one
            // longer than a quarter period may hide a pair: the crossings
            // of this phase start afresh.
            const bool crossed = (before < 0.0) != (value < 0.0);
            if (crossed || static_cast<double>(gap) * 4.0 > nominalPeriod_) {
                lastCrossing_[p][0] = lastCrossing_[p][1] = -1.0;
            }
            continue;
        }
        // Zero counts as positive, here and in the gap's test above, so
        // that a sample exactly at zero (a crossing on a sample instant)
        // belongs to one side and no crossing is seen twice or missed.
        const bool wasNegative = before < 0.0, isNegative = value < 0.0;
        if (wasNegative == isNegative) continue;
        const int direction = wasNegative ? 0 : 1;
        // The instant where the straight line between the two samples
        // crosses zero: near a zero crossing a sinusoid is nearly straight,
        // and what harmonics and offsets add repeats every cycle.
        const double at = now - 1.0 + before / (before - value);
        double& last = lastCrossing_[p][direction];
        const double interval = at - last;
        // Within half and one and a half nominal periods: an interval of
        // two periods (a crossing missed) or a noise crossing is not one.
        if (last >= 0.0 && interval >= 0.5 * nominalPeriod_ && interval <= 1.5 * nominalPeriod_) {
            intervals_[intervalAt_] = interval;
            intervalAt_ = intervalAt_ + 1 == kPeriodIntervals ? 0 : intervalAt_ + 1;
            if (intervalCount_ < kPeriodIntervals) ++intervalCount_;
            // Summed afresh (a dozen additions) rather than kept as a
            // running sum, which would drift over a long stream.
            double sum = 0.0;
            for (std::size_t k = 0; k < kPeriodIntervals; ++k) sum += intervals_[k];
            intervalSum_ = sum;
        }
        last = at;
    }
}

ReportQuality GapBridge::process(double phase[3]) {
    bool received[3];
    bool missing = false;
    bool left = false;
    for (int p = 0; p < 3; ++p) {
        received[p] = std::isfinite(phase[p]);
        if (received[p]) continue;
        missing = true;
        const double value = run_ < memory_ ? predict(p) : std::numeric_limits<double>::quiet_NaN();
        // NaN as the block knows it; an infinity would not be one.
        if (std::isfinite(value)) {
            phase[p] = value;
        } else {
            phase[p] = std::numeric_limits<double>::quiet_NaN();
            left = true;
        }
    }
    noteCrossings(phase, received);
    run_ = missing ? run_ + 1 : 0;
    lostCount_ -= lostRing_[lostAt_];
    lostRing_[lostAt_] = missing ? 1 : 0;
    lostCount_ += lostRing_[lostAt_];
    lostAt_ = lostAt_ + 1 == lostRing_.size() ? 0 : lostAt_ + 1;
    if (missing) {
        ++(left ? unbridged_ : bridged_);
        const bool dense = lostCount_ > denseLimit_;
        runBeyondProven_ = runBeyondProven_ || left || run_ > proven_ || dense;
        (runBeyondProven_ ? sinceMissing_ : sinceBridged_) = 0;
    } else {
        runBeyondProven_ = false;
    }
    if (!missing || runBeyondProven_) sinceBridged_ = std::min(sinceBridged_ + 1, memory_ + 1);
    if (!missing || !runBeyondProven_) sinceMissing_ = std::min(sinceMissing_ + 1, memory_ + 1);
    double* slot = &history_[3 * at_];
    for (int p = 0; p < 3; ++p) slot[p] = phase[p];
    at_ = at_ + 1 == capacity_ ? 0 : at_ + 1;
    ++index_;
    ++processed_;
    ReportQuality quality = 0;
    if (sinceBridged_ < memory_) quality |= kQualityBridged;
    if (sinceMissing_ < memory_) quality |= kQualityMissing;
    if (quality & kQualityBridged) ++withBridged_;
    if (quality & kQualityMissing) ++withMissing_;
    return quality;
}
