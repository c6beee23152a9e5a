// The run as one self-contained HTML page: the summary tables and, for each
// test, plots of the errors over time with the limit drawn in. Inline CSS
// and SVG only: it reads the same offline.
#ifndef ORVANE_COMPLIANCE_HTML_REPORT_H
#define ORVANE_COMPLIANCE_HTML_REPORT_H

#include <string>

#include "compliance/plan_runner.h"

std::string htmlReport(const PlanResult& result, const std::string& modelName);

#endif  // ORVANE_COMPLIANCE_HTML_REPORT_H
