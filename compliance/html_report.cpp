#include "compliance/html_report.h"

#include <cmath>
#include <limits>

#include "compliance/road_comparison.h"
#include "compliance/summary_cells.h"
#include "compliance/test_plan.h"
#include "plot/svg_plot.h"
#include "compliance/table_report.h"

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
const char* const kEstimatorColour[kEstimatorCount] = {"#1f77b4", "#ff7f0e", "#2ca02c"};
// Hues of the estimators' colours; the cases of one estimator are shades of
// its hue, each line named in its tooltip.
const double kEstimatorHue[kEstimatorCount] = {205.0, 28.0, 120.0};

const char* const kStyle =
    "body{font-family:sans-serif;margin:2em;max-width:1200px;color:#222}"
    "table{border-collapse:collapse;margin:0.5em 0 1.5em}"
    "th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;font-size:13px}"
    "th{background:#f3f3f3}.fail{color:#b00;font-weight:bold}.pass{color:#070}"
    ".plots{display:flex;flex-wrap:wrap;gap:8px}polyline:hover{stroke-width:3;stroke-opacity:1}"
    "td.note{color:#555;font-size:12px}.key span{display:inline-block;width:18px;height:3px;"
    "vertical-align:middle;margin:0 4px 0 12px}";

std::string summaryHtml(const PlanSummary& summary) {
    std::string html;
    for (const SummaryTable& table : summaryTables(summary)) {
        html += "<h3>" + escapeMarkup(table.title) + "</h3>\n<table><tr><th>Test</th><th>Estimator</th>";
        for (const std::string& h : table.headers) html += "<th>" + escapeMarkup(h) + "</th>";
        html += "<th>Result</th><th>Note</th></tr>\n";
        for (const SummaryLine& l : table.lines) {
            html += "<tr><td>" + escapeMarkup(l.test) + "</td><td>" + escapeMarkup(l.estimator) + "</td>";
            for (const SummaryCell& c : l.cells) {
                html += std::string("<td") + (c.fail ? " class=\"fail\"" : "") + ">" + escapeMarkup(c.text) + "</td>";
            }
            html += std::string("<td class=\"") + (l.pass ? "pass\">pass" : "fail\">FAIL") + "</td><td class=\"note\">" +
                    escapeMarkup(l.note.empty() ? l.closest : l.note) + "</td></tr>\n";
        }
        html += "</table>\n";
    }
    return html;
}

// One plot per error quantity of a steady-state or dynamic test: every case
// a line, over the time since its first counted report.
std::string steadyPlots(const PlanResult& result, PlanTest test) {
    const AccuracyLimits limits = result.plan.limits(test);
    struct Quantity {
        const char* title;
        const char* unit;
        double limit;
        double scale;
        double EvaluatedReport::*member;
    };
    const Quantity quantities[] = {{"TVE", "%", limits.tve, 100.0, &EvaluatedReport::tve},
                                   {"FE", "Hz", limits.fe, 1.0, &EvaluatedReport::fe},
                                   {"RFE", "Hz/s", limits.rfe, 1.0, &EvaluatedReport::rfe}};
    std::string html = "<div class=\"plots\">\n";
    for (const Quantity& q : quantities) {
        if (std::isnan(q.limit)) continue;
        SvgPlotContent plot{std::string(q.title) + " (" + q.unit + ")", "s since the first counted report",
                      std::string(q.title) + " " + q.unit, true, q.limit * q.scale, kNone, {}, {}};
        for (int e = 0; e < kEstimatorCount; ++e) {
            int count = 0;
            for (const CaseResult& r : result.cases) {
                count += result.plan.cases[r.caseIndex].test == test && r.estimators[e].ran ? 1 : 0;
            }
            int index = 0;
            for (const CaseResult& r : result.cases) {
                if (result.plan.cases[r.caseIndex].test != test || !r.estimators[e].ran) continue;
                PlotSeries series{shadeOf(kEstimatorHue[e], index++, count), {},
                                  std::string(estimatorName(static_cast<Estimator>(e))) + ", " +
                                      result.plan.cases[r.caseIndex].label};
                for (const EvaluatedReport& p : r.estimators[e].reports) {
                    series.points.emplace_back(p.relativeTime, p.*(q.member) * q.scale);
                }
                plot.series.push_back(std::move(series));
            }
        }
        html += renderSvgPlot(plot);
    }
    return html + "</div>\n";
}

// Step tests: the errors on the merged equivalent-time grid around the step,
// with the threshold whose crossing times the response; and the stepped
// quantity itself.
std::string stepPlots(const PlanResult& result, PlanTest test) {
    const StepLimits& limits = result.plan.stepLimits;
    struct Quantity {
        const char* title;
        const char* unit;
        double limit;
        double scale;
        double EquivalentTimePoint::*member;
        bool logY;
        double responseLimit;  // s; NaN where no response time is assessed
    };
    const Quantity quantities[] = {
        {"TVE", "%", limits.tveThreshold, 100.0, &EquivalentTimePoint::tve, true, limits.tveResponse},
        {"FE", "Hz", limits.feThreshold, 1.0, &EquivalentTimePoint::fe, true, limits.feResponse},
        {"RFE", "Hz/s", limits.rfeThreshold, 1.0, &EquivalentTimePoint::rfe, true, limits.rfeResponse},
        {test == PlanTest::MagnitudeStep ? "Magnitude" : "Angle change",
         test == PlanTest::MagnitudeStep ? "peak" : "deg", kNone,
         test == PlanTest::MagnitudeStep ? 1.0 : 180.0 / 3.141592653589793, &EquivalentTimePoint::stepped, false,
         kNone}};
    // Around the step only: the settled remainder says nothing new.
    const double window = 0.1;
    std::string html = "<div class=\"plots\">\n";
    for (const Quantity& q : quantities) {
        SvgPlotContent plot{std::string(q.title) + " (" + q.unit + ")", "ms from the step (equivalent time)",
                      std::string(q.title) + " " + q.unit, q.logY, q.limit * q.scale, 0.0, {}, {}};
        for (const StepGroup& g : result.summary.steps) {
            if (g.test != test) continue;
            const int e = static_cast<int>(g.estimator);
            const std::string name = std::string(estimatorName(g.estimator)) + ", " + g.label;
            PlotSeries series{kEstimatorColour[e], {}, name};
            for (const EquivalentTimePoint& p : g.grid) {
                if (std::fabs(p.time) <= window) series.points.emplace_back(p.time * 1e3, p.*(q.member) * q.scale);
            }
            plot.series.push_back(std::move(series));
            // The response time runs from the first point beyond the
            // threshold: where that is plus the limit is the last instant
            // the error may still be beyond it.
            if (std::isnan(q.responseLimit)) continue;
            for (const EquivalentTimePoint& p : g.grid) {
                const double error = p.*(q.member);
                if (!(error <= q.limit)) {
                    const double at = (p.time + q.responseLimit) * 1e3;
                    // Steps whose errors rise together share one line, grey
                    // when it serves both estimators.
                    bool shared = false;
                    for (PlotMarker& m : plot.markers) {
                        if (std::fabs(m.x - at) >= 0.5) continue;
                        shared = true;
                        if (m.colour != kEstimatorColour[e]) m.colour = "#444";
                    }
                    if (!shared) {
                        plot.markers.push_back(PlotMarker{at, kEstimatorColour[e],
                                                          formatFigure(q.responseLimit * 1e3) + " ms response limit",
                                                          true});
                    }
                    break;
                }
            }
        }
        html += renderSvgPlot(plot);
    }
    return html + "</div>\n";
}

}  // namespace

std::string htmlReport(const PlanResult& result, const std::string& modelName) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>P-class compliance: " +
                       escapeMarkup(modelName) + "</title>\n<style>" + kStyle + "</style></head><body>\n";
    html += "<h1>P-class compliance</h1>\n<p>" + escapeMarkup(planHeadline(result, modelName)) + "</p>\n";
    html += "<p class=\"key\">Estimators:";
    for (int e = 0; e < kEstimatorCount; ++e) {
        if (!result.summary.estimatorRan[e]) continue;
        html += std::string("<span style=\"background:") + kEstimatorColour[e] + "\"></span>" +
                estimatorName(static_cast<Estimator>(e));
    }
    html += "<span style=\"background:#d62728\"></span>limit (dashed)</p>\n";
    html += summaryHtml(result.summary);
    const std::vector<RoadDifference> differences = compareRoads(result);
    if (!differences.empty()) {
        html += "<h2>Block only beside through the instrument</h2>\n<p>Road: " + escapeMarkup(roadLine(result)) +
                "</p>\n<table><tr><th>Test</th><th>Figure</th><th>Block only</th><th>Through the instrument</th>"
                "<th>Difference</th><th>Why</th></tr>\n";
        for (const RoadDifference& d : differences) {
            const std::vector<std::string> cells = roadDifferenceCells(d);
            html += "<tr>";
            for (std::size_t i = 0; i < cells.size(); ++i) {
                html += (i + 1 == cells.size() ? "<td class=\"note\">" : "<td>") + escapeMarkup(cells[i]) + "</td>";
            }
            html += "</tr>\n";
        }
        html += "</table>\n";
    }
    for (int t = 0; t < kPlanTestCount; ++t) {
        const PlanTest test = static_cast<PlanTest>(t);
        bool inPlan = false;
        for (const PlanCase& c : result.plan.cases) inPlan |= c.test == test;
        if (!inPlan) continue;
        html += "<h2>" + escapeMarkup(planTestName(test)) + "</h2>\n";
        html += isStepTest(test) ? stepPlots(result, test) : steadyPlots(result, test);
    }
    html += "</body></html>\n";
    return html;
}
