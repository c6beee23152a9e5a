// The whole run as JSON: settings, limits, the summary rows, the step
// responses with their equivalent-time grids, and every counted report of
// every case with its errors.
#ifndef ORVANE_COMPLIANCE_JSON_REPORT_H
#define ORVANE_COMPLIANCE_JSON_REPORT_H

#include <string>

#include "compliance/plan_runner.h"

std::string jsonReport(const PlanResult& result, const std::string& modelName);

#endif  // ORVANE_COMPLIANCE_JSON_REPORT_H
