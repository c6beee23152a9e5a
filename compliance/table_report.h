// The plan's summary as a plain-text table for the terminal.
#ifndef ORVANE_COMPLIANCE_TABLE_REPORT_H
#define ORVANE_COMPLIANCE_TABLE_REPORT_H

#include <cstdio>
#include <string>

#include "compliance/plan_runner.h"

// `modelName` names what was measured (the S-function).
void writeTableReport(std::FILE* out, const PlanResult& result, const std::string& modelName);

// One line saying what the plan was: build, nominal frequency, report
// rate, plan size.
std::string planHeadline(const PlanResult& result, const std::string& modelName);

#endif  // ORVANE_COMPLIANCE_TABLE_REPORT_H
