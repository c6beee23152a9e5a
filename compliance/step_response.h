// Step responses on the equivalent-time grid: the reports of the runs of
// one step, each run with the step at another point of the report
// interval, merged by their time relative to the step. On that grid: the
// response times of TVE, FE and RFE, the delay time and the overshoot.
#ifndef ORVANE_COMPLIANCE_STEP_RESPONSE_H
#define ORVANE_COMPLIANCE_STEP_RESPONSE_H

#include <vector>

struct EquivalentTimePoint {
    double time;     // s relative to the step
    double tve;      // fraction
    double fe;       // Hz
    double rfe;      // Hz/s
    double stepped;  // the stepped quantity as measured (magnitude, or angle change in rad)
};

struct StepResponse {
    double tveResponse;  // s; +inf when the error never settles within the grid
    double feResponse;
    double rfeResponse;
    double delay;        // s; NaN when the stepped quantity never crosses halfway
    double overshoot;    // fraction of the step size
};

// Sorts the points by time (ties keep their order).
void sortByTime(std::vector<EquivalentTimePoint>& grid);

// Time from the first grid point whose error exceeds the limit to the first
// point after the last one that does; 0 when none does, +inf when the last
// point still does. A NaN error counts as exceeding. `grid` sorted.
double responseTime(const std::vector<EquivalentTimePoint>& grid, double EquivalentTimePoint::*error, double limit);

// |t50| where t50 is where the stepped quantity first reaches halfway from
// `initial` to `final`, interpolated linearly between the two grid points
// around it.
double delayTime(const std::vector<EquivalentTimePoint>& grid, double initial, double final);

// The largest excursion beyond the final value after the step, or beyond
// the initial value against the step's direction before it, as a fraction
// of |final - initial|; 0 when the response stays within both.
double overshoot(const std::vector<EquivalentTimePoint>& grid, double initial, double final);

StepResponse analyseStep(const std::vector<EquivalentTimePoint>& grid, double initial, double final,
                         double tveLimit, double feLimit, double rfeLimit);

#endif  // ORVANE_COMPLIANCE_STEP_RESPONSE_H
