#include "io/sv/sv_continuity.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kNone = std::numeric_limits<int64_t>::min();
constexpr std::size_t kGivenMemory = 8192;  // how far back a duplicate is recognised

// Rates that merging units use; a rate found from the stream snaps to one
// of them when within 2 % (samples lost just before the wrap make the
// highest smpCnt seen fall short).
constexpr uint32_t kKnownRates[] = {960, 1200, 2400, 4000, 4800, 8000, 9600, 10000, 12000, 12800, 14400, 15360};

// The longest silence across a wrap that still tells the rate: the 2 %
// of a second that snapping makes up for.
constexpr int64_t kWrapGapNanoseconds = 20'000'000;

uint32_t snapRate(double found) {
    for (uint32_t r : kKnownRates) {
        if (std::fabs(found - r) <= 0.02 * r) return r;
    }
    return static_cast<uint32_t>(std::lround(found));
}

// Ring position of an index; a true modulo, so that indices before 1970
// (a badly set clock) keep consecutive indices in distinct slots.
std::size_t ringSlot(int64_t index, std::size_t size) {
    const int64_t n = static_cast<int64_t>(size);
    return static_cast<std::size_t>(((index % n) + n) % n);
}

int64_t nanosecondsBetween(const SvClock& from, const SvClock& to) {
    return (to.seconds - from.seconds) * kNanosecondsPerSecondI + (to.nanoseconds - from.nanoseconds);
}

}  // namespace

SvContinuity::SvContinuity(uint32_t rate, std::size_t window, int64_t stopAfterNanoseconds)
    : rate_(rate), window_(std::max<std::size_t>(window, 1)), stopAfter_(stopAfterNanoseconds) {}

void SvContinuity::offer(const SvArrival& a, std::deque<SvSample>& out) {
    lastStamp_ = a.stamp;
    stopped_ = false;
    if (rate_ == 0) {
        if (a.smpRate && *a.smpRate > 0) {
            settleRate(*a.smpRate, out);
        } else {
            // A large step back in smpCnt is the wrap at the top of the
            // second; a small one is a reordering. Only a wrap between
            // frames close in capture time tells the rate: across an outage
            // over the top of the second the highest count seen falls far
            // short of it, so the rate waits for the next wrap.
            const bool wrapped = !pending_.empty() && a.smpCnt < pending_.back().smpCnt &&
                                 pending_.back().smpCnt - a.smpCnt > maxCount_ / 2 &&
                                 nanosecondsBetween(pending_.back().stamp, a.stamp) <= kWrapGapNanoseconds;
            if (wrapped) {
                settleRate(snapRate(maxCount_ + 1.0), out);
            } else {
                maxCount_ = std::max(maxCount_, a.smpCnt);
                pending_.push_back(a);
                // A stream whose smpCnt never wraps: its highest count so far.
                if (pending_.size() > 100000) {
                    rateEstimated_ = true;
                    settleRate(snapRate(maxCount_ + 1.0), out);
                }
                return;
            }
        }
    }
    place(a, out);
}

void SvContinuity::settleRate(uint32_t rate, std::deque<SvSample>& out) {
    rate_ = rate;
    std::vector<SvArrival> waiting;
    waiting.swap(pending_);
    for (const SvArrival& w : waiting) place(w, out);
}

void SvContinuity::place(const SvArrival& a, std::deque<SvSample>& out) {
    if (a.smpCnt >= rate_) {
        ++counts_.badCount;
        return;
    }
    const int64_t index = svSampleIndex(a.stamp, a.smpCnt, rate_);
    if (!started_) {
        started_ = true;
        slots_.assign(window_, SvSample{kNone, {}, {}, false});
        given_.assign(kGivenMemory, kNone);
        expected_ = index;
        highest_ = index - 1;
        first_ = index;
    }
    if (index < expected_) {
        if (given_[ringSlot(index, kGivenMemory)] == index) {
            ++counts_.duplicates;
        } else {
            ++counts_.late;
        }
        return;
    }
    const int64_t maxGap = rate_;  // a second
    if (index - std::max(expected_, highest_) > maxGap) {
        emitHeld(out);
        ++counts_.breaks;
        expected_ = index;
        highest_ = index - 1;
        breakPending_ = true;
    }
    while (index >= expected_ + static_cast<int64_t>(window_)) emitOne(out);
    SvSample& slot = slots_[ringSlot(index, window_)];
    if (slot.index == index) {
        ++counts_.duplicates;
        return;
    }
    if (index < highest_) ++counts_.reordered;
    highest_ = std::max(highest_, index);
    slot.index = index;
    std::copy(a.phase, a.phase + 3, slot.phase);
    slot.flags = a.flags;
    slot.afterBreak = false;
    ++held_;
    ++counts_.received;
    while (held_ > 0 && slots_[ringSlot(expected_, window_)].index == expected_) emitOne(out);
}

void SvContinuity::emitOne(std::deque<SvSample>& out) {
    SvSample& slot = slots_[ringSlot(expected_, window_)];
    if (slot.index == expected_) {
        out.push_back(slot);
        given_[ringSlot(expected_, kGivenMemory)] = expected_;
        slot.index = kNone;
        --held_;
    } else {
        SvSample missing;
        missing.index = expected_;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        std::fill(missing.phase, missing.phase + 3, nan);
        missing.flags.missing = true;
        out.push_back(missing);
        ++counts_.lost;
    }
    if (breakPending_) {
        out.back().afterBreak = true;
        breakPending_ = false;
    }
    ++expected_;
}

void SvContinuity::emitHeld(std::deque<SvSample>& out) {
    while (held_ > 0) emitOne(out);
}

void SvContinuity::clock(const SvClock& now) {
    if (stopped_ || (!started_ && pending_.empty())) return;
    if (nanosecondsBetween(lastStamp_, now) > stopAfter_) {
        stopped_ = true;
        ++counts_.stops;
    }
}

void SvContinuity::finish(std::deque<SvSample>& out) {
    if (rate_ == 0 && !pending_.empty()) {
        // No wrap seen that tells the rate: the count's pace over the
        // capture clock since the last wrap (one across an outage), when
        // that spans enough of it.
        std::size_t from = pending_.size() - 1;
        while (from > 0 && !(pending_[from].smpCnt < pending_[from - 1].smpCnt &&
                             pending_[from - 1].smpCnt - pending_[from].smpCnt > maxCount_ / 2)) {
            --from;
        }
        const SvArrival& a = pending_[from];
        const SvArrival& b = pending_.back();
        const double seconds = static_cast<double>(nanosecondsBetween(a.stamp, b.stamp)) * 1e-9;
        if (b.smpCnt > a.smpCnt && seconds > 0.01) {
            rateEstimated_ = true;
            settleRate(snapRate(static_cast<double>(b.smpCnt - a.smpCnt) / seconds), out);
        }
    }
    if (started_) emitHeld(out);
}
