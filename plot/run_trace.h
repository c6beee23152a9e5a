// A run reduced for the screen while it streams by: its samples gathered
// into at most twice `columns` time-ordered buckets, each keeping the least
// and greatest value of every quantity (so no spike disappears, however long
// the run), and its reports likewise (kept one by one while they fit).
#ifndef ORVANE_PLOT_RUN_TRACE_H
#define ORVANE_PLOT_RUN_TRACE_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "io/report_quality.h"
#include "model/ports.h"

inline constexpr int kTraceQuantities = 4;  // magnitude, angle, frequency, rocof
extern const char* const kTraceNames[kTraceQuantities];

struct TraceBucket {
    double tFirst = 0.0;
    double tLast = 0.0;
    double lo[kTraceQuantities];
    double hi[kTraceQuantities];
    uint64_t count = 0;
};

class BucketReducer {
public:
    explicit BucketReducer(std::size_t columns);
    void add(double t, const double values[kTraceQuantities]);
    // The buckets so far, the partly filled last one included.
    std::vector<TraceBucket> buckets() const;
    // Values per bucket: 1 while every value is its own bucket.
    uint64_t span() const { return span_; }

private:
    std::size_t limit_;
    uint64_t span_ = 1;
    std::vector<TraceBucket> full_;
    TraceBucket open_;
};

inline constexpr double kNoScale = std::numeric_limits<double>::infinity();

struct RunTrace {
    std::string label;  // the file, or what was run
    // Seconds from 1970 UTC to the run's time 0 when the run says so (a
    // recording's midnight); NaN when unknown (a CSV).
    double epochOfTimeZero = std::numeric_limits<double>::quiet_NaN();
    // The block's first rows, given before it has timed a report (their
    // timestamp 0, the outputs held until the first report): counted, but
    // kept off the time axis when they would stretch it to the origin.
    uint64_t rowsSetApart = 0;
    std::vector<std::pair<std::string, std::string>> description;
    uint64_t rows = 0;
    uint64_t reports = 0;
    std::vector<TraceBucket> samples;
    std::vector<TraceBucket> reportBuckets;  // the reports with nothing against them
    bool reportsExact = true;  // each report bucket holds one report
    // Reports whose quality word says do not use, drawn apart.
    uint64_t flaggedReports = 0;
    std::vector<TraceBucket> flaggedReportBuckets;
    bool flaggedExact = true;
    // The range of each quantity over the samples and reports that are not
    // flagged do-not-use (lo > hi when there are none): the axes' scale.
    double scaleLo[kTraceQuantities] = {kNoScale, kNoScale, kNoScale, kNoScale};
    double scaleHi[kTraceQuantities] = {-kNoScale, -kNoScale, -kNoScale, -kNoScale};
};

class RunTraceBuilder {
public:
    explicit RunTraceBuilder(std::size_t columns = 2048);
    // One row with its quality word.
    void add(const ModelOutputs& out, ReportQuality quality = 0);
    RunTrace finish(std::string label, std::vector<std::pair<std::string, std::string>> description) const;

private:
    BucketReducer samples_;
    BucketReducer reports_;
    BucketReducer flagged_;
    double scaleLo_[kTraceQuantities];
    double scaleHi_[kTraceQuantities];
    uint64_t flaggedCount_ = 0;
    BucketReducer leadSamples_;  // the leading rows stamped 0
    BucketReducer leadReports_;
    BucketReducer leadFlagged_;
    uint64_t leadFlaggedCount_ = 0;
    uint64_t rows_ = 0;
    uint64_t reportCount_ = 0;
    uint64_t leadRows_ = 0;
    bool pastLead_ = false;
    double firstStamped_ = std::numeric_limits<double>::quiet_NaN();  // the first timestamp not 0
    double lastStamped_ = std::numeric_limits<double>::quiet_NaN();
};

#endif  // ORVANE_PLOT_RUN_TRACE_H
