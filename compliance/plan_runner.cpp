#include "compliance/plan_runner.h"

#include <chrono>

bool runPlan(const TestPlan& plan, const DriverFactory& makeDriver, bool runModel, bool runReference,
             const PlanProgress& progress, PlanResult& result, std::string& error,
             const InstrumentRoad& instrument) {
    const auto started = std::chrono::steady_clock::now();
    result = PlanResult{};
    result.plan = plan;
    CaseRunner runner(result.plan, makeDriver, runModel, runReference, instrument);
    CaseMeasurements measurements;
    for (std::size_t i = 0; i < result.plan.cases.size(); ++i) {
        const PlanCase& c = result.plan.cases[i];
        const auto onSamples = [&](long long n) {
            result.samples += n;
            if (progress) progress(n, c);
        };
        if (!runner.run(c, measurements, error, onSamples)) {
            error = std::string(planTestName(c.test)) + ", " + c.label + ": " + error;
            return false;
        }
        result.cases.push_back(evaluateCase(result.plan, i, measurements));
    }
    result.summary = summarisePlan(result.plan, result.cases);
    result.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}
