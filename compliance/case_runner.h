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
#include "io/c37118/data_frame.h"

// Model: the block's outputs read straight from it. Instrument: the same
// model measured through the whole instrument, its reports read from the
// data frames a receiver decoded.
enum class Estimator { Model = 0, Reference = 1, Instrument = 2 };
inline constexpr int kEstimatorCount = 3;
const char* estimatorName(Estimator estimator);  // "model", "reference", "instrument"

// The road through the whole instrument: runs `signal` from `start` to
// `end` (s since 1970, samples while time < end) with `driver` (not yet
// started) as its model and hands on every data frame as its receiver
// decoded it, with the frame's time base and the stamp (s since 1970) of
// the newest input the instrument had taken when it made the frame. False,
// with `error` set, when the road fails.
using InstrumentFrame = std::function<void(const DataFrame& frame, uint32_t timeBase, double newestInput)>;
using InstrumentRoad = std::function<bool(const ThreePhaseSignalParameters& signal, double start, double end,
                                          BlockDriver& driver, const InstrumentFrame& received, std::string& error)>;

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
    // Reports flagged "do not use" (their STAT): counted, kept out of the
    // figures.
    int flagged = 0;
};

struct CaseMeasurements {
    EstimatorReports estimators[kEstimatorCount];
};

class CaseRunner {
public:
    // With `instrument`, the model is also run through it.
    CaseRunner(const TestPlan& plan, DriverFactory makeDriver, bool runModel, bool runReference,
               InstrumentRoad instrument = {});

    // Runs case `c`; `onSamples` hears, now and then, how many samples have
    // been fed since its last call. False with `error` set when the driver
    // cannot be made, refuses to start or fails in a step.
    bool run(const PlanCase& c, CaseMeasurements& out, std::string& error,
             const std::function<void(long long)>& onSamples);

private:
    struct StrobedReport {
        double timestamp;  // s (absolute)
        PhasorEstimate value;
        double latency;    // s
        bool flagged;
    };
    bool runModel(const PlanCase& c, long long sampleCount, EstimatorReports& out, std::string& error,
                  const std::function<void(long long)>& onSamples);
    bool runInstrument(const PlanCase& c, EstimatorReports& out, std::string& error);
    void collectReports(const PlanCase& c, EstimatorReports& out) const;
    void runReference(const PlanCase& c, long long sampleCount, EstimatorReports& out);

    const TestPlan& plan_;
    DriverFactory makeDriver_;
    bool runModel_;
    bool runReference_;
    InstrumentRoad instrument_;
    ReferenceEstimator reference_;
    std::vector<double> samples_;         // three phases per sample, reused across cases
    std::vector<StrobedReport> strobed_;  // reused across cases
};

#endif  // ORVANE_COMPLIANCE_CASE_RUNNER_H
