#include "compliance/json_report.h"

#include <limits>

#include "compliance/json_text.h"
#include "compliance/road_comparison.h"
#include "compliance/reference_estimator.h"

namespace {

void addFigure(Json& object, const char* name, const Figure& f) {
    if (!f.assessed) return;
    object[name] = Json{{"worst", f.seen ? f.value : std::numeric_limits<double>::quiet_NaN()},
                        {"limit", f.limit},
                        {"where", f.where},
                        {"pass", f.pass()}};
}

void addSettings(Json& doc, const PlanResult& result, const std::string& modelName) {
    const PlanSettings& s = result.plan.settings;
    doc["settings"] = Json{
        {"model", modelName},
        {"sampleRate", s.sampleRate},
        {"samplePeriod", s.samplePeriod},
        {"nominalFrequency", s.nominalFrequency},
        {"reportRate", s.reportRate},
        {"startTime", s.startTime},
        {"quick", s.quick},
        {"stepPositions", s.stepPositions},
        {"amplitude", 100.0},
        {"magnitudeConvention", "peak"},
        {"referenceFilterOrder", ReferenceEstimator(s.sampleRate, s.samplePeriod, s.nominalFrequency).order()},
        {"road", result.road.empty() ? std::string("block") : result.road},
    };
    if (!result.road.empty()) {
        Json road = Json::object();
        for (const auto& [name, value] : result.roadSettings) road[name] = value;
        road["effects"] = result.roadEffects;
        doc["settings"]["roadSettings"] = road;
    }
    doc["run"] = Json{{"cases", static_cast<long long>(result.plan.cases.size())},
                      {"samples", result.samples},
                      {"elapsedSeconds", result.elapsedSeconds}};
}

void addLimits(Json& doc, const TestPlan& plan) {
    Json limits = Json::object();
    limits["units"] = "tve: fraction; fe: Hz; rfe: Hz/s; times: s; overshoot: fraction of the step";
    for (int t = 0; t < kPlanTestCount; ++t) {
        const PlanTest test = static_cast<PlanTest>(t);
        if (isStepTest(test)) continue;
        const AccuracyLimits l = plan.limits(test);
        limits[planTestKey(test)] = Json{{"tve", l.tve}, {"fe", l.fe}, {"rfe", l.rfe}};
    }
    const StepLimits& s = plan.stepLimits;
    limits["step"] = Json{{"tveThreshold", s.tveThreshold}, {"feThreshold", s.feThreshold},
                          {"rfeThreshold", s.rfeThreshold}, {"tveResponse", s.tveResponse},
                          {"feResponse", s.feResponse},     {"rfeResponse", s.rfeResponse},
                          {"delay", s.delay},               {"overshoot", s.overshoot}};
    limits["latency"] = plan.latencyLimit;
    limits["modulationLimitFrequency"] = plan.modulationLimitFrequency;
    doc["limits"] = limits;
}

void addSummary(Json& doc, const PlanSummary& summary) {
    Json rows = Json::array();
    for (const TestRow& row : summary.rows) {
        Json r{{"test", planTestKey(row.test)},
               {"estimator", estimatorName(row.estimator)},
               {"reports", row.reports},
               {"missing", row.missing},
               {"flagged", row.flagged},
               {"pass", row.pass()}};
        addFigure(r, "tve", row.tve);
        addFigure(r, "fe", row.fe);
        addFigure(r, "rfe", row.rfe);
        addFigure(r, "tveResponse", row.tveResponse);
        addFigure(r, "feResponse", row.feResponse);
        addFigure(r, "rfeResponse", row.rfeResponse);
        addFigure(r, "delay", row.delay);
        addFigure(r, "overshoot", row.overshoot);
        rows.push_back(r);
    }
    doc["summary"] = rows;
    Json latency = Json::array();
    for (const LatencyRow& row : summary.latency) {
        Json r{{"estimator", estimatorName(row.estimator)},
               {"reports", row.reports},
               {"missing", row.missing},
               {"offGrid", row.offGrid},
               {"flagged", row.flagged},
               {"pass", row.pass()}};
        addFigure(r, "latency", row.latency);
        latency.push_back(r);
    }
    doc["latency"] = latency;
}

void addSteps(Json& doc, const PlanSummary& summary) {
    Json steps = Json::array();
    for (const StepGroup& g : summary.steps) {
        Json grid = Json::array();
        for (const EquivalentTimePoint& p : g.grid) grid.push_back(Json::array({p.time, p.tve, p.fe, p.rfe, p.stepped}));
        steps.push_back(Json{{"test", planTestKey(g.test)},
                             {"step", g.label},
                             {"estimator", estimatorName(g.estimator)},
                             {"initial", g.initial},
                             {"final", g.final},
                             {"response",
                              Json{{"tveResponse", g.response.tveResponse},
                                   {"feResponse", g.response.feResponse},
                                   {"rfeResponse", g.response.rfeResponse},
                                   {"delay", g.response.delay},
                                   {"overshoot", g.response.overshoot}}},
                             {"columns", Json::array({"time", "tve", "fe", "rfe", "stepped"})},
                             {"grid", grid}});
    }
    doc["steps"] = steps;
}

void addCases(Json& doc, const PlanResult& result) {
    doc["reportColumns"] =
        Json::array({"time", "magnitude", "angle", "frequency", "rocof", "tve", "fe", "rfe", "latency"});
    Json cases = Json::array();
    for (const CaseResult& r : result.cases) {
        const PlanCase& c = result.plan.cases[r.caseIndex];
        Json one{{"test", planTestKey(c.test)}, {"label", c.label}, {"parameter", c.parameter}};
        if (c.stepPosition >= 0) {
            one["stepPosition"] = c.stepPosition;
            one["stepTime"] = c.signal.stepTime;
        }
        if (c.signal.rampRate != 0.0) {
            one["rampStart"] = c.signal.rampStart;
            one["rampEnd"] = c.signal.rampEnd;
        }
        one["firstReportTime"] = result.plan.reportTime(c, c.firstReport);
        one["reportCount"] = c.reportCount;
        one["runEnd"] = c.runEnd;
        for (int e = 0; e < kEstimatorCount; ++e) {
            const EvaluatedEstimator& ev = r.estimators[e];
            if (!ev.ran) continue;
            Json reports = Json::array();
            for (const EvaluatedReport& p : ev.reports) {
                reports.push_back(Json::array({p.time, p.measured.magnitude, p.measured.angle, p.measured.frequency,
                                               p.measured.rocof, p.tve, p.fe, p.rfe, p.latency}));
            }
            one[estimatorName(static_cast<Estimator>(e))] =
                Json{{"missing", ev.missing}, {"offGrid", ev.offGrid}, {"flagged", ev.flagged}, {"reports", reports}};
        }
        cases.push_back(one);
    }
    doc["cases"] = cases;
}

}  // namespace

std::string jsonReport(const PlanResult& result, const std::string& modelName) {
    Json doc = Json::object();
    addSettings(doc, result, modelName);
    addLimits(doc, result.plan);
    addSummary(doc, result.summary);
    addSteps(doc, result.summary);
    Json comparison = Json::array();
    for (const RoadDifference& d : compareRoads(result)) {
        comparison.push_back(Json{{"test", std::string(d.key) == "latency" ? "latency" : planTestKey(d.test)},
                                  {"figure", d.key},
                                  {"block", d.block},
                                  {"instrument", d.through},
                                  {"rounding", d.rounding},
                                  {"why", d.why}});
    }
    doc["comparison"] = comparison;
    addCases(doc, result);
    return jsonText(doc) + "\n";
}
