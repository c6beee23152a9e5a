// One or more runs as one self-contained HTML page: magnitude, angle,
// frequency and ROCOF against time in four panels on a shared time axis,
// each run in its own colour, the report instants marked, the runs'
// descriptions on top. Every panel is reduced to one least/greatest pair per
// screen column, so the page stays small however long the runs; those
// columns (and the reports, while they are few enough to mark one by one)
// are embedded as JSON for whoever wants the numbers.
#ifndef ORVANE_PLOT_RUN_PAGE_H
#define ORVANE_PLOT_RUN_PAGE_H

#include <string>
#include <vector>

#include "plot/run_trace.h"

// Width of a panel's plotting area in screen columns.
inline constexpr int kPlotColumns = 1000;

std::string renderRunPage(const std::vector<RunTrace>& runs);

#endif  // ORVANE_PLOT_RUN_PAGE_H
