#include "compliance/road_comparison.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "compliance/summary_cells.h"

namespace {

// A float32 keeps 24 significant bits.
constexpr double kFloatEpsilon = 1.0 / 16777216.0;

const TestRow* rowOf(const PlanSummary& summary, PlanTest test, Estimator e) {
    for (const TestRow& row : summary.rows) {
        if (row.test == test && row.estimator == e) return &row;
    }
    return nullptr;
}

const LatencyRow* latencyOf(const PlanSummary& summary, Estimator e) {
    for (const LatencyRow& row : summary.latency) {
        if (row.estimator == e) return &row;
    }
    return nullptr;
}

double worst(const Figure& f) { return f.seen ? f.value : std::numeric_limits<double>::quiet_NaN(); }

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : "; ") + p;
    return text;
}

}  // namespace

std::vector<RoadDifference> compareRoads(const PlanResult& result) {
    std::vector<RoadDifference> out;
    const PlanSummary& summary = result.summary;
    if (!summary.estimatorRan[static_cast<int>(Estimator::Model)] ||
        !summary.estimatorRan[static_cast<int>(Estimator::Instrument)]) {
        return out;
    }
    const double f0 = result.plan.settings.nominalFrequency;
    // Magnitude to its relative float32 step, angle (within pi) to its
    // absolute one: their sum bounds the TVE the frames add. Frequency
    // within f0 +- 5 Hz; ROCOF of a few Hz/s.
    const double tveRounding = (1.0 + M_PI) * kFloatEpsilon;
    const double feRounding = (f0 + 5.0) * kFloatEpsilon;
    const double rfeRounding = 1e-6;
    // Step figures come from the equivalent-time grid: rounding moves a
    // response time by no grid step, the delay and overshoot by as little
    // as the values they are read from.
    const double stepRounding = 1e-6;
    auto add = [&](PlanTest test, const char* key, const char* figure, double scale, const Figure& block,
                   const Figure& through, double rounding) {
        if (!block.assessed) return;
        RoadDifference d{test, key, figure, scale, worst(block), worst(through), rounding, {}};
        const double difference = std::fabs(d.through - d.block);
        if (difference <= rounding || (std::isinf(d.block) && d.block == d.through)) {
            d.why = "within the frames' rounding (float32 values, timestamps to 1 us)";
        } else {
            std::vector<std::string> effects = result.roadEffects;
            if (result.roadResamples && test == PlanTest::Harmonics) {
                effects.push_back("harmonics above the resampler's pass band are filtered out before the block");
            }
            if (isStepTest(test) && result.roadSampleRate > 0.0 &&
                result.roadSampleRate != result.plan.settings.sampleRate) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "the step is sampled at %g Hz, not at the build's rate (between two of those samples "
                              "it is seen up to %.3g ms off)",
                              result.roadSampleRate, 1e3 / result.roadSampleRate);
                effects.push_back(text);
            }
            if (result.roadResamples && isStepTest(test)) {
                effects.push_back("the resampler's filter spreads the step over its length (and rings around it)");
            }
            d.why = (d.through < d.block ? "smaller through the instrument: " : "larger through the instrument: ") +
                    joined(effects);
        }
        out.push_back(std::move(d));
    };
    for (int t = 0; t < kPlanTestCount; ++t) {
        const PlanTest test = static_cast<PlanTest>(t);
        const TestRow* block = rowOf(summary, test, Estimator::Model);
        const TestRow* through = rowOf(summary, test, Estimator::Instrument);
        if (block == nullptr || through == nullptr) continue;
        if (isStepTest(test)) {
            add(test, "tveResponse", "TVE resp. ms", 1e3, block->tveResponse, through->tveResponse, stepRounding);
            add(test, "feResponse", "FE resp. ms", 1e3, block->feResponse, through->feResponse, stepRounding);
            add(test, "rfeResponse", "RFE resp. ms", 1e3, block->rfeResponse, through->rfeResponse, stepRounding);
            add(test, "delay", "Delay ms", 1e3, block->delay, through->delay, stepRounding);
            add(test, "overshoot", "Overshoot %", 100.0, block->overshoot, through->overshoot, stepRounding);
        } else {
            add(test, "tve", "TVE %", 100.0, block->tve, through->tve, tveRounding);
            add(test, "fe", "FE Hz", 1.0, block->fe, through->fe, feRounding);
            add(test, "rfe", "RFE Hz/s", 1.0, block->rfe, through->rfe, rfeRounding);
        }
    }
    const LatencyRow* block = latencyOf(summary, Estimator::Model);
    const LatencyRow* through = latencyOf(summary, Estimator::Instrument);
    if (block != nullptr && through != nullptr) {
        RoadDifference d{PlanTest::FrequencyRange, "latency", "Latency ms", 1e3, worst(block->latency),
                         worst(through->latency), 0.0,
                         "through the instrument: from the timestamp to the newest sampled-values frame the PMU had "
                         "read when it made the data frame (samples the resampler holds back included)"};
        out.push_back(std::move(d));
    }
    return out;
}

std::string roadLine(const PlanResult& result) {
    std::string text = result.road;
    for (std::size_t i = 0; i < result.roadSettings.size(); ++i) {
        text += (i == 0 ? ": " : ", ") + result.roadSettings[i].first + " " + result.roadSettings[i].second;
    }
    return text;
}

std::vector<std::string> roadDifferenceCells(const RoadDifference& d) {
    const bool latency = std::string(d.key) == "latency";
    auto number = [&](double v) {
        if (std::isnan(v)) return std::string("no reports");
        return std::isinf(v) ? std::string("never settles") : formatFigure(v * d.scale);
    };
    const double difference = d.through - d.block;
    return {latency ? "Reporting latency" : planTestName(d.test), d.figure, number(d.block), number(d.through),
            std::isfinite(difference) ? formatFigure(difference * d.scale) : std::string("-"), d.why};
}
