#include "compliance/step_response.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool exceeds(double error, double limit) { return !(error <= limit); }

}  // namespace

void sortByTime(std::vector<EquivalentTimePoint>& grid) {
    std::stable_sort(grid.begin(), grid.end(),
                     [](const EquivalentTimePoint& a, const EquivalentTimePoint& b) { return a.time < b.time; });
}

double responseTime(const std::vector<EquivalentTimePoint>& grid, double EquivalentTimePoint::*error, double limit) {
    std::size_t firstOut = grid.size();
    std::size_t lastOut = grid.size();
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (!exceeds(grid[i].*error, limit)) continue;
        if (firstOut == grid.size()) firstOut = i;
        lastOut = i;
    }
    if (firstOut == grid.size()) return 0.0;
    if (lastOut + 1 == grid.size()) return std::numeric_limits<double>::infinity();
    return grid[lastOut + 1].time - grid[firstOut].time;
}

double delayTime(const std::vector<EquivalentTimePoint>& grid, double initial, double final) {
    const double halfway = (initial + final) / 2.0;
    const double direction = final > initial ? 1.0 : -1.0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (!((grid[i].stepped - halfway) * direction >= 0.0)) continue;
        if (i == 0) return std::fabs(grid[0].time);
        const EquivalentTimePoint& a = grid[i - 1];
        const EquivalentTimePoint& b = grid[i];
        const double fraction = (halfway - a.stepped) / (b.stepped - a.stepped);
        return std::fabs(a.time + fraction * (b.time - a.time));
    }
    return std::numeric_limits<double>::quiet_NaN();
}

double overshoot(const std::vector<EquivalentTimePoint>& grid, double initial, double final) {
    const double size = std::fabs(final - initial);
    const double direction = final > initial ? 1.0 : -1.0;
    double worst = 0.0;
    for (const EquivalentTimePoint& p : grid) {
        // After the step: beyond the final value in the step's direction.
        // Before it: beyond the initial value against that direction (a
        // window reaching ahead of its timestamp can swing early).
        const double excursion =
            p.time >= 0.0 ? (p.stepped - final) * direction : (initial - p.stepped) * direction;
        if (std::isnan(excursion)) return std::numeric_limits<double>::quiet_NaN();
        worst = std::max(worst, excursion);
    }
    return worst / size;
}

StepResponse analyseStep(const std::vector<EquivalentTimePoint>& grid, double initial, double final,
                         double tveLimit, double feLimit, double rfeLimit) {
    return {responseTime(grid, &EquivalentTimePoint::tve, tveLimit),
            responseTime(grid, &EquivalentTimePoint::fe, feLimit),
            responseTime(grid, &EquivalentTimePoint::rfe, rfeLimit), delayTime(grid, initial, final),
            overshoot(grid, initial, final)};
}
