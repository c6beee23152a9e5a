#include "compliance/case_evaluation.h"

#include "signals/three_phase_signal.h"

CaseResult evaluateCase(const TestPlan& plan, std::size_t caseIndex, const CaseMeasurements& measurements) {
    const PlanCase& c = plan.cases[caseIndex];
    const ThreePhaseSignal signal(c.signal);
    const double origin = isStepTest(c.test) ? c.signal.stepTime : plan.reportTime(c, c.firstReport);
    CaseResult result{caseIndex, {}};
    for (int e = 0; e < kEstimatorCount; ++e) {
        const EstimatorReports& in = measurements.estimators[e];
        EvaluatedEstimator& out = result.estimators[e];
        out.ran = in.ran;
        out.missing = in.missing;
        out.offGrid = in.offGrid;
        out.flagged = in.flagged;
        out.reports.reserve(in.reports.size());
        for (const TimedEstimate& r : in.reports) {
            const ThreePhaseSignal::Reference ref = signal.reference(r.time, plan.settings.nominalFrequency);
            const PhasorEstimate ideal{ref.magnitude, ref.angle, ref.frequency, ref.rocof};
            out.reports.push_back({r.time, r.time - origin, r.value, ideal, totalVectorError(r.value, ideal),
                                   frequencyError(r.value, ideal), rocofError(r.value, ideal), r.latency});
        }
    }
    return result;
}
