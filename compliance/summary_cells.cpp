#include "compliance/summary_cells.h"

#include <cmath>
#include <cstdio>

namespace {

SummaryCell cell(const Figure& f, double scale) {
    if (!f.assessed) return {"-", false};
    if (!f.seen) return {"no reports", true};
    const double value = f.value * scale;
    std::string text = std::isinf(value) ? "never settles" : formatFigure(value);
    text += " / " + formatFigure(f.limit * scale);
    return {text, !f.pass()};
}

// Where a failed figure was worst; a figure without reports has no place.
std::string worstNote(const Figure& f) {
    if (!f.seen) return "no report was made to assess (is the report rate within the build's capacity?)";
    return "worst: " + f.where;
}

std::string missingNote(int missing, int offGrid, int flagged) {
    std::string note;
    if (missing > 0) note = std::to_string(missing) + " report(s) missing";
    if (offGrid > 0) note += (note.empty() ? "" : ", ") + std::to_string(offGrid) + " off the report grid";
    if (flagged > 0) {
        note += (note.empty() ? "" : ", ") + std::to_string(flagged) + " flagged \"do not use\" (not in the figures)";
    }
    return note;
}

// The figure with the greatest share of its limit.
std::string closestNote(const std::vector<const Figure*>& figures, const std::vector<std::string>& headers) {
    double share = -1.0;
    std::string note;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const Figure& f = *figures[i];
        if (!f.assessed || !f.seen || !(f.limit > 0.0) || f.where.empty()) continue;
        const double s = std::fabs(f.value) / f.limit;
        if (s > share) {
            share = s;
            note = headers[i] + " nearest its limit (" + formatFigure(100.0 * s) + " % of it): " + f.where;
        }
    }
    return note;
}

SummaryLine line(const TestRow& row, const std::vector<std::pair<const Figure*, double>>& figures,
                 const std::vector<std::string>& headers) {
    SummaryLine l{planTestName(row.test), estimatorName(row.estimator), {}, row.pass(), {}, {}};
    std::vector<const Figure*> assessed;
    for (const auto& [figure, scale] : figures) {
        l.cells.push_back(cell(*figure, scale));
        assessed.push_back(figure);
        if (l.note.empty() && l.cells.back().fail) l.note = worstNote(*figure);
    }
    l.closest = closestNote(assessed, headers);
    const std::string missing = missingNote(row.missing, 0, row.flagged);
    if (!missing.empty()) l.note = missing + (l.note.empty() ? "" : "; " + l.note);
    return l;
}

}  // namespace

std::string formatFigure(double value) {
    if (std::isnan(value)) return "NaN";
    if (value == 0.0) return "0";
    char text[32];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-3 && magnitude < 1e5) {
        std::snprintf(text, sizeof text, "%.4g", value);
    } else {
        std::snprintf(text, sizeof text, "%.3g", value);
    }
    return text;
}

std::vector<SummaryTable> summaryTables(const PlanSummary& summary) {
    SummaryTable accuracy{"Accuracy (worst / limit)", {"TVE %", "FE Hz", "RFE Hz/s"}, {}};
    SummaryTable steps{"Steps (worst / limit)",
                       {"TVE resp. ms", "FE resp. ms", "RFE resp. ms", "Delay ms", "Overshoot %"},
                       {}};
    for (const TestRow& row : summary.rows) {
        if (isStepTest(row.test)) {
            steps.lines.push_back(line(row, {{&row.tveResponse, 1e3},
                                             {&row.feResponse, 1e3},
                                             {&row.rfeResponse, 1e3},
                                             {&row.delay, 1e3},
                                             {&row.overshoot, 100.0}},
                                        steps.headers));
        } else {
            accuracy.lines.push_back(
                line(row, {{&row.tve, 100.0}, {&row.fe, 1.0}, {&row.rfe, 1.0}}, accuracy.headers));
        }
    }
    SummaryTable latency{"Reporting latency (worst / limit)", {"Latency ms"}, {}};
    for (const LatencyRow& row : summary.latency) {
        SummaryLine l{"Reporting latency", estimatorName(row.estimator), {cell(row.latency, 1e3)}, row.pass(), {}, {}};
        l.closest = closestNote({&row.latency}, latency.headers);
        if (l.cells.back().fail) l.note = worstNote(row.latency);
        const std::string missing = missingNote(row.missing, row.offGrid, row.flagged);
        if (!missing.empty()) l.note = missing + (l.note.empty() ? "" : "; " + l.note);
        latency.lines.push_back(std::move(l));
    }
    std::vector<SummaryTable> tables;
    for (SummaryTable* t : {&accuracy, &steps, &latency}) {
        if (!t->lines.empty()) tables.push_back(std::move(*t));
    }
    return tables;
}
