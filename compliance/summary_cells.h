// The summary as rows of display cells, "worst / limit" in the units a
// reader expects (TVE and overshoot in %, times in ms). The terminal table
// and the HTML page both print these, so they cannot disagree.
#ifndef ORVANE_COMPLIANCE_SUMMARY_CELLS_H
#define ORVANE_COMPLIANCE_SUMMARY_CELLS_H

#include <string>
#include <vector>

#include "compliance/plan_summary.h"

struct SummaryCell {
    std::string text;  // "0.0123 / 1", or "-" where not assessed
    bool fail = false;
};

struct SummaryLine {
    std::string test;
    std::string estimator;
    std::vector<SummaryCell> cells;
    bool pass = true;
    std::string note;  // where the first failed figure occurred, or missing reports
    // Which figure came nearest its limit, and where: what a passing line
    // has to say.
    std::string closest;
};

struct SummaryTable {
    std::string title;
    std::vector<std::string> headers;  // of the cells only
    std::vector<SummaryLine> lines;
};

// The accuracy tests, the step tests and the reporting latency; a table
// without lines is left out.
std::vector<SummaryTable> summaryTables(const PlanSummary& summary);

// A number for people: significant digits, no exponent for everyday sizes.
std::string formatFigure(double value);

#endif  // ORVANE_COMPLIANCE_SUMMARY_CELLS_H
