#include "compliance/json_report.h"

#include <limits>

#include "compliance/json_writer.h"
#include "compliance/reference_estimator.h"

namespace {

void writeFigure(JsonWriter& w, const std::string& name, const Figure& f) {
    if (!f.assessed) return;
    w.key(name);
    w.beginObject();
    w.field("worst", f.seen ? f.value : std::numeric_limits<double>::quiet_NaN());
    w.field("limit", f.limit);
    w.field("where", f.where);
    w.field("pass", f.pass());
    w.endObject();
}

void writeSettings(JsonWriter& w, const PlanResult& result, const std::string& modelName) {
    const PlanSettings& s = result.plan.settings;
    w.key("settings");
    w.beginObject();
    w.field("model", modelName);
    w.field("sampleRate", s.sampleRate);
    w.field("samplePeriod", s.samplePeriod);
    w.field("nominalFrequency", s.nominalFrequency);
    w.field("reportRate", s.reportRate);
    w.field("startTime", s.startTime);
    w.field("quick", s.quick);
    w.field("stepPositions", s.stepPositions);
    w.field("amplitude", 100.0);
    w.field("magnitudeConvention", "peak");
    w.field("referenceFilterOrder", ReferenceEstimator(s.sampleRate, s.samplePeriod, s.nominalFrequency).order());
    w.endObject();
    w.key("run");
    w.beginObject();
    w.field("cases", static_cast<long long>(result.plan.cases.size()));
    w.field("samples", result.samples);
    w.field("elapsedSeconds", result.elapsedSeconds);
    w.endObject();
}

void writeLimits(JsonWriter& w, const TestPlan& plan) {
    w.key("limits");
    w.beginObject();
    w.field("units", "tve: fraction; fe: Hz; rfe: Hz/s; times: s; overshoot: fraction of the step");
    for (int t = 0; t < kPlanTestCount; ++t) {
        const PlanTest test = static_cast<PlanTest>(t);
        if (isStepTest(test)) continue;
        const AccuracyLimits l = plan.limits(test);
        w.key(planTestKey(test));
        w.beginObject();
        w.field("tve", l.tve);
        w.field("fe", l.fe);
        w.field("rfe", l.rfe);
        w.endObject();
    }
    const StepLimits& s = plan.stepLimits;
    w.key("step");
    w.beginObject();
    w.field("tveThreshold", s.tveThreshold);
    w.field("feThreshold", s.feThreshold);
    w.field("rfeThreshold", s.rfeThreshold);
    w.field("tveResponse", s.tveResponse);
    w.field("feResponse", s.feResponse);
    w.field("rfeResponse", s.rfeResponse);
    w.field("delay", s.delay);
    w.field("overshoot", s.overshoot);
    w.endObject();
    w.field("latency", plan.latencyLimit);
    w.field("modulationLimitFrequency", plan.modulationLimitFrequency);
    w.endObject();
}

void writeSummary(JsonWriter& w, const PlanSummary& summary) {
    w.key("summary");
    w.beginArray();
    for (const TestRow& row : summary.rows) {
        w.beginObject();
        w.field("test", planTestKey(row.test));
        w.field("estimator", estimatorName(row.estimator));
        w.field("reports", row.reports);
        w.field("missing", row.missing);
        w.field("pass", row.pass());
        writeFigure(w, "tve", row.tve);
        writeFigure(w, "fe", row.fe);
        writeFigure(w, "rfe", row.rfe);
        writeFigure(w, "tveResponse", row.tveResponse);
        writeFigure(w, "feResponse", row.feResponse);
        writeFigure(w, "rfeResponse", row.rfeResponse);
        writeFigure(w, "delay", row.delay);
        writeFigure(w, "overshoot", row.overshoot);
        w.endObject();
    }
    w.endArray();
    w.key("latency");
    w.beginArray();
    for (const LatencyRow& row : summary.latency) {
        w.beginObject();
        w.field("estimator", estimatorName(row.estimator));
        w.field("reports", row.reports);
        w.field("missing", row.missing);
        w.field("offGrid", row.offGrid);
        w.field("pass", row.pass());
        writeFigure(w, "latency", row.latency);
        w.endObject();
    }
    w.endArray();
}

void writeSteps(JsonWriter& w, const PlanSummary& summary) {
    w.key("steps");
    w.beginArray();
    for (const StepGroup& g : summary.steps) {
        w.beginObject();
        w.field("test", planTestKey(g.test));
        w.field("step", g.label);
        w.field("estimator", estimatorName(g.estimator));
        w.field("initial", g.initial);
        w.field("final", g.final);
        w.key("response");
        w.beginObject();
        w.field("tveResponse", g.response.tveResponse);
        w.field("feResponse", g.response.feResponse);
        w.field("rfeResponse", g.response.rfeResponse);
        w.field("delay", g.response.delay);
        w.field("overshoot", g.response.overshoot);
        w.endObject();
        w.key("columns");
        w.beginArray();
        for (const char* c : {"time", "tve", "fe", "rfe", "stepped"}) w.value(c);
        w.endArray();
        w.key("grid");
        w.beginArray();
        for (const EquivalentTimePoint& p : g.grid) {
            w.beginArray();
            for (double v : {p.time, p.tve, p.fe, p.rfe, p.stepped}) w.value(v);
            w.endArray();
        }
        w.endArray();
        w.endObject();
    }
    w.endArray();
}

void writeCases(JsonWriter& w, const PlanResult& result) {
    w.key("reportColumns");
    w.beginArray();
    for (const char* c : {"time", "magnitude", "angle", "frequency", "rocof", "tve", "fe", "rfe", "latency"}) {
        w.value(c);
    }
    w.endArray();
    w.key("cases");
    w.beginArray();
    for (const CaseResult& r : result.cases) {
        const PlanCase& c = result.plan.cases[r.caseIndex];
        w.beginObject();
        w.field("test", planTestKey(c.test));
        w.field("label", c.label);
        w.field("parameter", c.parameter);
        if (c.stepPosition >= 0) {
            w.field("stepPosition", c.stepPosition);
            w.field("stepTime", c.signal.stepTime);
        }
        if (c.signal.rampRate != 0.0) {
            w.field("rampStart", c.signal.rampStart);
            w.field("rampEnd", c.signal.rampEnd);
        }
        w.field("firstReportTime", result.plan.reportTime(c, c.firstReport));
        w.field("reportCount", c.reportCount);
        w.field("runEnd", c.runEnd);
        for (int e = 0; e < kEstimatorCount; ++e) {
            const EvaluatedEstimator& ev = r.estimators[e];
            if (!ev.ran) continue;
            w.key(estimatorName(static_cast<Estimator>(e)));
            w.beginObject();
            w.field("missing", ev.missing);
            w.field("offGrid", ev.offGrid);
            w.key("reports");
            w.beginArray();
            for (const EvaluatedReport& p : ev.reports) {
                w.beginArray();
                for (double v : {p.time, p.measured.magnitude, p.measured.angle, p.measured.frequency,
                                 p.measured.rocof, p.tve, p.fe, p.rfe, p.latency}) {
                    w.value(v);
                }
                w.endArray();
            }
            w.endArray();
            w.endObject();
        }
        w.endObject();
    }
    w.endArray();
}

}  // namespace

std::string jsonReport(const PlanResult& result, const std::string& modelName) {
    JsonWriter w;
    w.beginObject();
    writeSettings(w, result, modelName);
    writeLimits(w, result.plan);
    writeSummary(w, result.summary);
    writeSteps(w, result.summary);
    writeCases(w, result);
    w.endObject();
    return w.text() + "\n";
}
