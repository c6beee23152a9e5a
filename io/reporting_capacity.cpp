#include "io/reporting_capacity.h"

#include <cmath>
#include <cstdio>

#include "model/facts/model_facts.h"

namespace {

std::string buildName(double sampleRate) {
    if (sampleRate == 4000.0) return "4k";
    if (sampleRate == 10000.0) return "10k";
    if (sampleRate == 14400.0) return "14p4k";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f Hz", sampleRate);
    return text;
}

}  // namespace

int32_t reportingCapacity(double sampleRate) {
    // Measured with a steady signal at Time origins 0, a time of day and a
    // Unix time; the 10k and 14p4k builds serve every rate the block takes.
    if (sampleRate < 10000.0) return 999;
    return facts::kHighestReportRate;
}

std::string reportingCapacityProblem(double sampleRate, int32_t reportRate) {
    const int32_t capacity = reportingCapacity(sampleRate);
    if (reportRate <= capacity) return "";
    const std::string build = buildName(sampleRate);
    return "report rate " + std::to_string(reportRate) + " is beyond the " + build +
           " build's reporting capacity: at " + std::to_string(static_cast<long long>(std::lround(sampleRate))) +
           " samples per second it produces every report instant only up to " + std::to_string(capacity) +
           " reports per second, and above that it skips instants; use a report rate of at most " +
           std::to_string(capacity) + ", or the 10k or 14p4k build";
}

int32_t reportingCapacityUnderChange(double sampleRate) {
    // Measured by `orvane compliance --quick --build B --report-rate R`
    // (docs/run.md, Reporting capacity of each build): no report missing at
    // 701 (4k), 1199 (10k) and 1200 (14p4k).
    if (sampleRate < 10000.0) return 701;
    if (sampleRate < 14400.0) return 1199;
    return 1200;
}

std::string reportingCapacityCaution(double sampleRate, int32_t reportRate) {
    const int32_t steady = reportingCapacity(sampleRate);
    const int32_t underChange = reportingCapacityUnderChange(sampleRate);
    if (reportRate <= underChange || reportRate > steady) return "";
    return "at report rate " + std::to_string(reportRate) + " the " + buildName(sampleRate) +
           " build skips some report instants while the frequency moves or after a step (the quick compliance plan "
           "loses reports above " + std::to_string(underChange) +
           " per second); every instant of a steady signal is produced";
}
