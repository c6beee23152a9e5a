#include "compliance/case_runner.h"

#include <cmath>

#include "io/c37118/frame_time.h"
#include "signals/three_phase_signal.h"

namespace {

// Samples between progress notices: often enough for a smooth bar, rarely
// enough to cost nothing.
constexpr long long kProgressChunk = 8192;

}  // namespace

const char* estimatorName(Estimator estimator) {
    switch (estimator) {
        case Estimator::Model: return "model";
        case Estimator::Reference: return "reference";
        case Estimator::Instrument: return "instrument";
    }
    return "?";
}

CaseRunner::CaseRunner(const TestPlan& plan, DriverFactory makeDriver, bool runModel, bool runReference,
                       InstrumentRoad instrument)
    : plan_(plan),
      makeDriver_(std::move(makeDriver)),
      runModel_(runModel),
      runReference_(runReference),
      instrument_(std::move(instrument)),
      reference_(plan.settings.sampleRate, plan.settings.samplePeriod, plan.settings.nominalFrequency) {}

bool CaseRunner::run(const PlanCase& c, CaseMeasurements& out, std::string& error,
                     const std::function<void(long long)>& onSamples) {
    out = CaseMeasurements{};
    const long long sampleCount = plan_.sampleCount(c);
    // Sized once per case, before the loop: the loop itself allocates
    // nothing.
    if (samples_.size() < static_cast<std::size_t>(3 * sampleCount)) {
        samples_.resize(static_cast<std::size_t>(3 * sampleCount));
    }
    EstimatorReports& model = out.estimators[static_cast<int>(Estimator::Model)];
    if (runModel_) {
        if (!runModel(c, sampleCount, model, error, onSamples)) return false;
    } else {
        // The signal alone, for the reference estimator.
        ThreePhaseSignal signal(c.signal);
        const PlanSettings& s = plan_.settings;
        for (long long n = 0; n < sampleCount; ++n) {
            signal.sample(s.startTime + static_cast<double>(n) * s.samplePeriod, &samples_[3 * n]);
            if ((n + 1) % kProgressChunk == 0) onSamples(kProgressChunk);
        }
        onSamples(sampleCount % kProgressChunk);
    }
    if (runReference_) runReference(c, sampleCount, out.estimators[static_cast<int>(Estimator::Reference)]);
    if (instrument_ && !runInstrument(c, out.estimators[static_cast<int>(Estimator::Instrument)], error)) {
        error = "through the instrument: " + error;
        return false;
    }
    return true;
}

bool CaseRunner::runInstrument(const PlanCase& c, EstimatorReports& out, std::string& error) {
    std::unique_ptr<BlockDriver> driver = makeDriver_(error);
    if (driver == nullptr) return false;
    strobed_.clear();
    strobed_.reserve(static_cast<std::size_t>((c.runEnd - plan_.settings.startTime + 1.0) * plan_.settings.reportRate) +
                     16);
    // The figures come from the frames as decoded: float32 phasors (RMS,
    // made peak again), the frame's timestamp and its STAT.
    const InstrumentFrame received = [this](const DataFrame& frame, uint32_t timeBase, double newestInput) {
        if (frame.pmus.empty() || frame.pmus[0].phasors.empty()) return;
        const PmuData& pmu = frame.pmus[0];
        const double time = secondsOf(frame.time, timeBase);
        const PhasorEstimate value{pmu.phasors[0].first * std::sqrt(2.0), pmu.phasors[0].second, pmu.frequency,
                                   pmu.rocof};
        strobed_.push_back({time, value, newestInput - time, (pmu.stat & kStatDataErrorMask) != 0});
    };
    const PlanSettings& s = plan_.settings;
    if (!instrument_(c.signal, s.startTime, c.runEnd, *driver, received, error)) return false;
    collectReports(c, out);
    return true;
}

bool CaseRunner::runModel(const PlanCase& c, long long sampleCount, EstimatorReports& out, std::string& error,
                          const std::function<void(long long)>& onSamples) {
    std::unique_ptr<BlockDriver> driver = makeDriver_(error);
    if (driver == nullptr) return false;
    if (!driver->start()) {
        error = "the model did not start: " + driver->error();
        return false;
    }
    const PlanSettings& s = plan_.settings;
    ModelInputs in;
    in.reportRate = s.reportRate;
    in.nominalFrequency = s.nominalFrequency;
    in.reportMode = true;
    ModelOutputs outputs;
    ThreePhaseSignal signal(c.signal);
    strobed_.clear();
    strobed_.reserve(static_cast<std::size_t>((c.runEnd - s.startTime + 1.0) * s.reportRate) + 16);

    for (long long n = 0; n < sampleCount; ++n) {
        const double t = s.startTime + static_cast<double>(n) * s.samplePeriod;
        double* phases = &samples_[3 * n];
        signal.sample(t, phases);
        in.phase[0] = phases[0];
        in.phase[1] = phases[1];
        in.phase[2] = phases[2];
        in.time = t;
        if (!driver->step(in, outputs)) {
            error = "the model failed at t = " + std::to_string(t) + " s: " + driver->error();
            return false;
        }
        if (outputs.reportStrobe) {
            const ModelOutputs& o = outputs;
            strobed_.push_back({o.timestamp, {o.magnitude, o.angle, o.frequency, o.rocof}, t - o.timestamp, false});
        }
        if ((n + 1) % kProgressChunk == 0) onSamples(kProgressChunk);
    }
    onSamples(sampleCount % kProgressChunk);
    driver->finish();
    collectReports(c, out);
    return true;
}

void CaseRunner::collectReports(const PlanCase& c, EstimatorReports& out) const {
    const PlanSettings& s = plan_.settings;
    out.ran = true;
    std::vector<const StrobedReport*> slots(static_cast<std::size_t>(c.reportCount), nullptr);
    // Reports outside the counted span are not judged: while settling, the
    // model may still report at the rate it starts with.
    const double halfInterval = 0.5 / s.reportRate;
    const double spanStart = plan_.reportTime(c, c.firstReport) - halfInterval;
    const double spanEnd = plan_.reportTime(c, c.firstReport + c.reportCount - 1) + halfInterval;
    for (const StrobedReport& r : strobed_) {
        const double timestamp = r.timestamp;
        if (!std::isfinite(timestamp)) {
            ++out.offGrid;
            continue;
        }
        if (timestamp < spanStart || timestamp > spanEnd) continue;
        const long m = std::lround((timestamp - s.startTime) * s.reportRate);
        // A timestamp further than half a sample from the instant it is
        // nearest to is no report instant at all.
        if (!(std::fabs(timestamp - plan_.reportTime(c, static_cast<int>(m))) <= 0.5 * s.samplePeriod)) {
            ++out.offGrid;
            continue;
        }
        const long slot = m - c.firstReport;
        if (slot >= 0 && slot < c.reportCount) slots[static_cast<std::size_t>(slot)] = &r;
    }
    for (const StrobedReport* r : slots) {
        if (r == nullptr) {
            ++out.missing;
            continue;
        }
        if (r->flagged) {
            ++out.flagged;
            continue;
        }
        out.reports.push_back({r->timestamp, r->value, r->latency});
    }
}

void CaseRunner::runReference(const PlanCase& c, long long sampleCount, EstimatorReports& out) {
    out.ran = true;
    for (int m = c.firstReport; m < c.firstReport + c.reportCount; ++m) {
        const double t = plan_.reportTime(c, m);
        TimedEstimate e{t, {}, 0.0};
        double lastSampleTime = 0.0;
        if (!reference_.estimate(samples_.data(), static_cast<std::size_t>(sampleCount), plan_.settings.startTime, t,
                                 e.value, lastSampleTime)) {
            ++out.missing;
            continue;
        }
        e.latency = lastSampleTime - t;
        out.reports.push_back(e);
    }
}
