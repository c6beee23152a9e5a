// The plan's verdict: for each test and estimator the worst figure of
// every assessed quantity beside its limit, the step responses on their
// equivalent-time grids, and the reporting latency. The table, the JSON
// and the HTML page are all written from this one summary.
#ifndef ORVANE_COMPLIANCE_PLAN_SUMMARY_H
#define ORVANE_COMPLIANCE_PLAN_SUMMARY_H

#include <string>
#include <vector>

#include "compliance/case_evaluation.h"
#include "compliance/step_response.h"
#include "compliance/test_plan.h"

// A worst value and its limit. Not assessed when the limit is NaN. A NaN
// value is the worst there is and fails.
struct Figure {
    double value = 0.0;
    double limit = 0.0;
    std::string where;   // the case (and time) it occurred in
    bool assessed = false;
    bool seen = false;   // at least one value was offered

    static Figure withLimit(double limit);
    void offer(double candidate, const std::string& place);
    bool pass() const;
};

struct TestRow {
    PlanTest test;
    Estimator estimator;
    // Steady-state and dynamic tests.
    Figure tve, fe, rfe;
    // Step tests (worst over the steps of the test).
    Figure tveResponse, feResponse, rfeResponse, delay, overshoot;
    int reports = 0;   // counted reports evaluated
    int missing = 0;   // counted report instants without a report
    int flagged = 0;   // counted reports flagged "do not use", kept out of the figures
    bool pass() const;
};

struct StepGroup {
    PlanTest test;
    std::string label;
    Estimator estimator;
    double initial;    // the stepped quantity before the step (ideal)
    double final;      // and after it
    std::vector<EquivalentTimePoint> grid;
    StepResponse response;
};

struct LatencyRow {
    Estimator estimator;
    Figure latency;
    int reports = 0;
    int missing = 0;
    int offGrid = 0;
    int flagged = 0;
    bool pass() const;
};

struct PlanSummary {
    std::vector<TestRow> rows;
    std::vector<StepGroup> steps;
    std::vector<LatencyRow> latency;
    bool estimatorRan[kEstimatorCount] = {false, false, false};
};

// Whether every row of `estimator` passed (its figures, missing reports and
// latency).
bool estimatorPassed(const PlanSummary& summary, Estimator estimator);

PlanSummary summarisePlan(const TestPlan& plan, const std::vector<CaseResult>& results);

#endif  // ORVANE_COMPLIANCE_PLAN_SUMMARY_H
