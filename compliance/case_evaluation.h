// Each report of a case against the ideal phasor of the case's signal at
// the report's timestamp: TVE, FE and RFE per report.
#ifndef ORVANE_COMPLIANCE_CASE_EVALUATION_H
#define ORVANE_COMPLIANCE_CASE_EVALUATION_H

#include <cstddef>
#include <vector>

#include "compliance/case_runner.h"

struct EvaluatedReport {
    double time;          // timestamp, s (absolute)
    // s since the case's first counted report instant; for steps, since the
    // step (negative before it).
    double relativeTime;
    PhasorEstimate measured;
    PhasorEstimate ideal;
    double tve;           // fraction
    double fe;            // Hz
    double rfe;           // Hz/s
    double latency;       // s
};

struct EvaluatedEstimator {
    bool ran = false;
    std::vector<EvaluatedReport> reports;
    int missing = 0;
    int offGrid = 0;
    int flagged = 0;  // reports flagged "do not use", not evaluated
};

struct CaseResult {
    std::size_t caseIndex;
    EvaluatedEstimator estimators[kEstimatorCount];
};

CaseResult evaluateCase(const TestPlan& plan, std::size_t caseIndex, const CaseMeasurements& measurements);

#endif  // ORVANE_COMPLIANCE_CASE_EVALUATION_H
