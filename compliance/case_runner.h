// Runs one case of the plan: feeds its signal sample by sample to the model
// through a block driver, keeps the model's reports and the samples, and
// asks the reference estimator for its reports at the same instants.
#ifndef ORVANE_COMPLIANCE_CASE_RUNNER_H
#define ORVANE_COMPLIANCE_CASE_RUNNER_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compliance/error_metrics.h"
#include "compliance/reference_estimator.h"
#include "compliance/test_plan.h"
#include "host/block_driver.h"

enum class Estimator { Model = 0, Reference = 1 };
inline constexpr int kEstimatorCount = 2;
const char* estimatorName(Estimator estimator);  // "model", "reference"

// Makes a fresh driver for the model under test; null with `error` set when
// it cannot.
using DriverFactory = std::function<std::unique_ptr<BlockDriver>(std::string& error)>;

struct TimedEstimate {
    double time;              // timestamp, s (absolute)
    PhasorEstimate value;
    double latency;           // s from the timestamp to when the report is available
};

// One estimator's counted reports of a case, in time order.
struct EstimatorReports {
    bool ran = false;
    std::vector<TimedEstimate> reports;
    int missing = 0;     // counted report instants without a report
    int offGrid = 0;     // reports whose timestamp is not a report instant
};

struct CaseMeasurements {
    EstimatorReports estimators[kEstimatorCount];
};

class CaseRunner {
public:
    CaseRunner(const TestPlan& plan, DriverFactory makeDriver, bool runModel, bool runReference);

    // Runs case `c`; `onSamples` hears, now and then, how many samples have
    // been fed since its last call. False with `error` set when the driver
    // cannot be made, refuses to start or fails in a step.
    bool run(const PlanCase& c, CaseMeasurements& out, std::string& error,
             const std::function<void(long long)>& onSamples);

private:
    struct StrobedReport {
        ModelOutputs outputs;
        double sampleTime;  // s, when the strobe was raised
    };
    bool runModel(const PlanCase& c, long long sampleCount, EstimatorReports& out, std::string& error,
                  const std::function<void(long long)>& onSamples);
    void collectModelReports(const PlanCase& c, EstimatorReports& out) const;
    void runReference(const PlanCase& c, long long sampleCount, EstimatorReports& out);

    const TestPlan& plan_;
    DriverFactory makeDriver_;
    bool runModel_;
    bool runReference_;
    ReferenceEstimator reference_;
    std::vector<double> samples_;         // three phases per sample, reused across cases
    std::vector<StrobedReport> strobed_;  // reused across cases
};

#endif  // ORVANE_COMPLIANCE_CASE_RUNNER_H
