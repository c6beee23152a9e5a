#include "compliance/plan_summary.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "compliance/error_metrics.h"

namespace {

std::string atTime(const std::string& label, double time) {
    char text[48];
    std::snprintf(text, sizeof text, " at %.4f s", time);
    return label + text;
}

// The stepped quantity as reported: the magnitude, or the angle relative to
// the phase before the step (the signal is at nominal frequency, so that
// phase is constant).
double steppedValue(const PlanCase& c, const PhasorEstimate& measured) {
    if (c.test == PlanTest::MagnitudeStep) return measured.magnitude;
    return wrapToPi(measured.angle - c.signal.phase);
}

void summariseSteady(const TestPlan& plan, const std::vector<CaseResult>& results, PlanTest test, Estimator e,
                     TestRow& row) {
    const AccuracyLimits limits = plan.limits(test);
    row.tve = Figure::withLimit(limits.tve);
    row.fe = Figure::withLimit(limits.fe);
    row.rfe = Figure::withLimit(limits.rfe);
    for (const CaseResult& r : results) {
        const PlanCase& c = plan.cases[r.caseIndex];
        if (c.test != test) continue;
        const EvaluatedEstimator& ev = r.estimators[static_cast<int>(e)];
        row.missing += ev.missing;
        row.flagged += ev.flagged;
        for (const EvaluatedReport& report : ev.reports) {
            const std::string where = atTime(c.label, report.time);
            row.tve.offer(report.tve, where);
            row.fe.offer(report.fe, where);
            row.rfe.offer(report.rfe, where);
            ++row.reports;
        }
    }
}

void summariseSteps(const TestPlan& plan, const std::vector<CaseResult>& results, PlanTest test, Estimator e,
                    TestRow& row, std::vector<StepGroup>& groups) {
    const StepLimits& limits = plan.stepLimits;
    row.tveResponse = Figure::withLimit(limits.tveResponse);
    row.feResponse = Figure::withLimit(limits.feResponse);
    row.rfeResponse = Figure::withLimit(limits.rfeResponse);
    row.delay = Figure::withLimit(limits.delay);
    row.overshoot = Figure::withLimit(limits.overshoot);
    // The runs of one step share its label; their reports interleave.
    std::vector<std::string> order;
    std::map<std::string, StepGroup> byLabel;
    for (const CaseResult& r : results) {
        const PlanCase& c = plan.cases[r.caseIndex];
        if (c.test != test) continue;
        auto found = byLabel.find(c.label);
        if (found == byLabel.end()) {
            const double initial = test == PlanTest::MagnitudeStep ? c.signal.amplitude : 0.0;
            const double final = test == PlanTest::MagnitudeStep ? c.signal.amplitude * (1.0 + c.signal.magnitudeStep)
                                                                 : c.signal.phaseStep;
            found = byLabel.emplace(c.label, StepGroup{test, c.label, e, initial, final, {}, {}}).first;
            order.push_back(c.label);
        }
        const EvaluatedEstimator& ev = r.estimators[static_cast<int>(e)];
        row.missing += ev.missing;
        row.flagged += ev.flagged;
        for (const EvaluatedReport& report : ev.reports) {
            found->second.grid.push_back(
                {report.relativeTime, report.tve, report.fe, report.rfe, steppedValue(c, report.measured)});
            ++row.reports;
        }
    }
    for (const std::string& label : order) {
        StepGroup& g = byLabel.at(label);
        // A step without reports has no response to measure; its figures
        // stay unseen ("no reports") rather than a response of 0 ms.
        if (g.grid.empty()) continue;
        sortByTime(g.grid);
        g.response = analyseStep(g.grid, g.initial, g.final, limits.tveThreshold, limits.feThreshold, limits.rfeThreshold);
        row.tveResponse.offer(g.response.tveResponse, label);
        row.feResponse.offer(g.response.feResponse, label);
        row.rfeResponse.offer(g.response.rfeResponse, label);
        row.delay.offer(g.response.delay, label);
        row.overshoot.offer(g.response.overshoot, label);
        groups.push_back(std::move(g));
    }
}

}  // namespace

Figure Figure::withLimit(double limit) {
    Figure f;
    f.limit = limit;
    f.assessed = !std::isnan(limit);
    return f;
}

void Figure::offer(double candidate, const std::string& place) {
    const bool worse = !seen || std::isnan(candidate) || (!std::isnan(value) && candidate > value);
    if (worse) {
        value = candidate;
        where = place;
    }
    seen = true;
}

bool Figure::pass() const { return !assessed || (seen && value <= limit); }

bool TestRow::pass() const {
    return missing == 0 && tve.pass() && fe.pass() && rfe.pass() && tveResponse.pass() && feResponse.pass() &&
           rfeResponse.pass() && delay.pass() && overshoot.pass();
}

bool LatencyRow::pass() const { return missing == 0 && offGrid == 0 && latency.pass(); }

PlanSummary summarisePlan(const TestPlan& plan, const std::vector<CaseResult>& results) {
    PlanSummary summary;
    for (const CaseResult& r : results) {
        for (int e = 0; e < kEstimatorCount; ++e) summary.estimatorRan[e] |= r.estimators[e].ran;
    }
    for (int t = 0; t < kPlanTestCount; ++t) {
        const PlanTest test = static_cast<PlanTest>(t);
        bool inPlan = false;
        for (const PlanCase& c : plan.cases) inPlan |= c.test == test;
        if (!inPlan) continue;
        for (int e = 0; e < kEstimatorCount; ++e) {
            if (!summary.estimatorRan[e]) continue;
            TestRow row{};
            row.test = test;
            row.estimator = static_cast<Estimator>(e);
            if (isStepTest(test)) {
                summariseSteps(plan, results, test, row.estimator, row, summary.steps);
            } else {
                summariseSteady(plan, results, test, row.estimator, row);
            }
            summary.rows.push_back(std::move(row));
        }
    }
    for (int e = 0; e < kEstimatorCount; ++e) {
        if (!summary.estimatorRan[e]) continue;
        LatencyRow row{static_cast<Estimator>(e), Figure::withLimit(plan.latencyLimit)};
        for (const CaseResult& r : results) {
            const EvaluatedEstimator& ev = r.estimators[e];
            row.missing += ev.missing;
            row.offGrid += ev.offGrid;
            row.flagged += ev.flagged;
            for (const EvaluatedReport& report : ev.reports) {
                row.latency.offer(report.latency, atTime(plan.cases[r.caseIndex].label, report.time));
                ++row.reports;
            }
        }
        summary.latency.push_back(std::move(row));
    }
    return summary;
}

bool estimatorPassed(const PlanSummary& summary, Estimator estimator) {
    for (const TestRow& row : summary.rows) {
        if (row.estimator == estimator && !row.pass()) return false;
    }
    for (const LatencyRow& row : summary.latency) {
        if (row.estimator == estimator && !row.pass()) return false;
    }
    return true;
}
