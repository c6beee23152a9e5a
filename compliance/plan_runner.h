// Runs every case of a plan, one after the other on one thread, and
// summarises the results.
#ifndef ORVANE_COMPLIANCE_PLAN_RUNNER_H
#define ORVANE_COMPLIANCE_PLAN_RUNNER_H

#include <functional>
#include <string>
#include <vector>

#include "compliance/case_evaluation.h"
#include "compliance/case_runner.h"
#include "compliance/plan_summary.h"
#include "compliance/test_plan.h"

struct PlanResult {
    TestPlan plan;
    std::vector<CaseResult> cases;
    PlanSummary summary;
    long long samples = 0;       // fed in all cases
    double elapsedSeconds = 0.0;  // wall-clock time of the run
    // The road through the instrument, when the model also took it: its
    // name ("sv") and settings as name and value, for the reports.
    std::string road;
    std::vector<std::pair<std::string, std::string>> roadSettings;
    // What the road does to the signal beyond the frames' float32 rounding
    // (quantisation, resampling, faults), one phrase each: the causes a
    // difference between the two roads' figures is put down to.
    std::vector<std::string> roadEffects;
    bool roadResamples = false;
    double roadSampleRate = 0.0;  // Hz, of the road's input (the merging unit's)
};

// Hears the samples fed since its last call and the case being run.
using PlanProgress = std::function<void(long long samples, const PlanCase& current)>;

// False with `error` set when a case cannot be run; `result` then holds the
// cases run so far but no summary.
// With `instrument`, the model runs through it as well (Estimator::Instrument).
bool runPlan(const TestPlan& plan, const DriverFactory& makeDriver, bool runModel, bool runReference,
             const PlanProgress& progress, PlanResult& result, std::string& error,
             const InstrumentRoad& instrument = {});

#endif  // ORVANE_COMPLIANCE_PLAN_RUNNER_H
