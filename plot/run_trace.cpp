#include "plot/run_trace.h"

#include <cmath>
#include <limits>

const char* const kTraceNames[kTraceQuantities] = {"magnitude", "angle", "frequency", "rocof"};

namespace {

TraceBucket emptyBucket() {
    TraceBucket b;
    for (int q = 0; q < kTraceQuantities; ++q) {
        b.lo[q] = std::numeric_limits<double>::infinity();
        b.hi[q] = -std::numeric_limits<double>::infinity();
    }
    return b;
}

// NaN never wins a comparison, so a NaN value leaves the bucket as it was.
void merge(TraceBucket& into, const TraceBucket& from) {
    if (from.count == 0) return;
    if (into.count == 0) into.tFirst = from.tFirst;
    into.tLast = from.tLast;
    into.count += from.count;
    for (int q = 0; q < kTraceQuantities; ++q) {
        if (from.lo[q] < into.lo[q]) into.lo[q] = from.lo[q];
        if (from.hi[q] > into.hi[q]) into.hi[q] = from.hi[q];
    }
}

}  // namespace

BucketReducer::BucketReducer(std::size_t columns) : limit_(2 * columns), open_(emptyBucket()) {
    full_.reserve(limit_);
}

void BucketReducer::add(double t, const double values[kTraceQuantities]) {
    if (open_.count == 0) open_.tFirst = t;
    open_.tLast = t;
    ++open_.count;
    for (int q = 0; q < kTraceQuantities; ++q) {
        if (values[q] < open_.lo[q]) open_.lo[q] = values[q];
        if (values[q] > open_.hi[q]) open_.hi[q] = values[q];
    }
    if (open_.count < span_) return;
    full_.push_back(open_);
    open_ = emptyBucket();
    if (full_.size() < limit_) return;
    // Full: neighbours pair up, and each bucket takes twice as many values
    // from now on.
    for (std::size_t i = 0; i < full_.size() / 2; ++i) {
        TraceBucket pair = full_[2 * i];
        merge(pair, full_[2 * i + 1]);
        full_[i] = pair;
    }
    full_.resize(full_.size() / 2);
    span_ *= 2;
}

std::vector<TraceBucket> BucketReducer::buckets() const {
    std::vector<TraceBucket> all = full_;
    if (open_.count > 0) all.push_back(open_);
    return all;
}

RunTraceBuilder::RunTraceBuilder(std::size_t columns)
    : samples_(columns),
      reports_(columns),
      flagged_(columns),
      leadSamples_(columns),
      leadReports_(columns),
      leadFlagged_(columns) {
    for (int q = 0; q < kTraceQuantities; ++q) {
        scaleLo_[q] = std::numeric_limits<double>::infinity();
        scaleHi_[q] = -std::numeric_limits<double>::infinity();
    }
}

// Until its first report the block holds its outputs at 0, the timestamp
// included: a run at a time of day begins with rows stamped 0 (a report
// interval's worth), which drawn at 0 would pull the axis back to the
// origin (0 .. 80 000 s for a 2 s run). They are gathered apart and decided
// on at the end; being held zeros, they never set the value axes.
void RunTraceBuilder::add(const ModelOutputs& out, ReportQuality quality) {
    ++rows_;
    if (out.reportStrobe) ++reportCount_;
    const double values[kTraceQuantities] = {out.magnitude, out.angle, out.frequency, out.rocof};
    if (!pastLead_ && out.timestamp == 0.0) {
        ++leadRows_;
        leadSamples_.add(out.timestamp, values);
        if (out.reportStrobe && qualityDoNotUse(quality)) {
            leadFlagged_.add(out.timestamp, values);
            ++leadFlaggedCount_;
        } else if (out.reportStrobe) {
            leadReports_.add(out.timestamp, values);
        }
        return;
    }
    pastLead_ = true;
    if (std::isfinite(out.timestamp)) {
        if (std::isnan(firstStamped_)) firstStamped_ = out.timestamp;
        lastStamped_ = out.timestamp;
    }
    samples_.add(out.timestamp, values);
    const bool doNotUse = qualityDoNotUse(quality);
    if (!doNotUse) {
        // Start-up values (a magnitude near 0, a frequency of kHz) would
        // flatten what the run measured: the axes follow usable figures.
        for (int q = 0; q < kTraceQuantities; ++q) {
            if (values[q] < scaleLo_[q]) scaleLo_[q] = values[q];
            if (values[q] > scaleHi_[q]) scaleHi_[q] = values[q];
        }
    }
    if (out.reportStrobe) {
        if (doNotUse) {
            flagged_.add(out.timestamp, values);
            ++flaggedCount_;
        } else {
            reports_.add(out.timestamp, values);
        }
    }
}

namespace {

std::vector<TraceBucket> joined(std::vector<TraceBucket> front, const std::vector<TraceBucket>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

}  // namespace

RunTrace RunTraceBuilder::finish(std::string label, std::vector<std::pair<std::string, std::string>> description) const {
    RunTrace trace;
    trace.label = std::move(label);
    trace.description = std::move(description);
    trace.rows = rows_;
    trace.reports = reportCount_;
    for (int q = 0; q < kTraceQuantities; ++q) {
        trace.scaleLo[q] = scaleLo_[q];
        trace.scaleHi[q] = scaleHi_[q];
    }
    // The rows stamped 0 stay on the axis when the run itself lies near 0
    // (they then take less of the axis than the run): a run from time 0,
    // or a run of nothing but them.
    const double away = std::fabs(firstStamped_);
    const bool setApart = leadRows_ > 0 && away > 0.0 && away > lastStamped_ - firstStamped_;
    trace.rowsSetApart = setApart ? leadRows_ : 0;
    trace.samples = setApart ? samples_.buckets() : joined(leadSamples_.buckets(), samples_.buckets());
    trace.reportBuckets = setApart ? reports_.buckets() : joined(leadReports_.buckets(), reports_.buckets());
    trace.reportsExact = reports_.span() == 1 && (setApart || leadReports_.span() == 1);
    trace.flaggedReports = flaggedCount_ + (setApart ? 0 : leadFlaggedCount_);
    trace.flaggedReportBuckets = setApart ? flagged_.buckets() : joined(leadFlagged_.buckets(), flagged_.buckets());
    trace.flaggedExact = flagged_.span() == 1 && (setApart || leadFlagged_.span() == 1);
    return trace;
}
