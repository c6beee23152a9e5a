// The model's worst figures read straight from the block beside the same
// figures measured through the whole instrument, test by test, each
// difference set against what the frames' float32 rounding can make and,
// beyond it, put down to what the road does to the signal.
#ifndef ORVANE_COMPLIANCE_ROAD_COMPARISON_H
#define ORVANE_COMPLIANCE_ROAD_COMPARISON_H

#include <string>
#include <vector>

#include "compliance/plan_runner.h"

struct RoadDifference {
    PlanTest test;
    const char* key;     // "tve", "fe", "rfe", "tveResponse", ... , "latency"
    const char* figure;  // "TVE %", ... as in the tables
    double scale;        // from the figure's unit to the table's
    double block;        // worst through the block alone (NaN: no reports)
    double through;      // worst through the instrument
    double rounding;     // the most float32 frames can move it
    std::string why;     // "within the frames' rounding ...", or the road's effects
};

// Empty unless the model ran both roads. Latency is compared too: through
// the instrument it runs from the newest input the instrument had taken.
std::vector<RoadDifference> compareRoads(const PlanResult& result);

// "sv: svRate 4000 Hz, ..." from the result's road and its settings.
std::string roadLine(const PlanResult& result);

// Test, figure, block only, through the instrument, difference (in the
// tables' units) and why: what the table and the page print.
std::vector<std::string> roadDifferenceCells(const RoadDifference& d);

#endif  // ORVANE_COMPLIANCE_ROAD_COMPARISON_H
