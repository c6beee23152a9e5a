// Small plans for the compliance tests: one build's settings, a plan cut
// down to chosen cases, and a driver factory for the model in-process.
#ifndef ORVANE_TESTS_COMPLIANCE_PLAN_FIXTURES_H
#define ORVANE_TESTS_COMPLIANCE_PLAN_FIXTURES_H

#include <functional>
#include <memory>
#include <string>

#include "compliance/case_runner.h"
#include "compliance/test_plan.h"
#include "host/in_process_driver.h"
#include "model/model_entry.h"

inline PlanSettings settingsFor(const ModelEntry& entry, double nominalFrequency) {
    PlanSettings s;
    s.sampleRate = entry.build->fs;
    s.samplePeriod = entry.build->ts;
    s.nominalFrequency = nominalFrequency;
    s.reportRate = static_cast<int>(nominalFrequency);
    return s;
}

// The plan with only the cases `keep` accepts.
inline TestPlan planWith(const PlanSettings& settings, const std::function<bool(const PlanCase&)>& keep) {
    TestPlan plan = makeTestPlan(settings);
    std::erase_if(plan.cases, [&](const PlanCase& c) { return !keep(c); });
    return plan;
}

inline DriverFactory inProcess(const ModelEntry& entry) {
    return [&entry](std::string&) -> std::unique_ptr<BlockDriver> {
        return std::make_unique<InProcessDriver>(entry.installMethods, entry.build->sfunctionName);
    };
}

#endif  // ORVANE_TESTS_COMPLIANCE_PLAN_FIXTURES_H
