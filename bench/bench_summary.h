// The figures of one benchmark run gathered per build and printed together
// at the end: the floor, the model in-process, the model through the
// deliverable's mexFunction and our host's whole per-sample road, each in ns
// per sample and as a multiple of the build's floor.
#ifndef ORVANE_BENCH_BENCH_SUMMARY_H
#define ORVANE_BENCH_BENCH_SUMMARY_H

#include <cstdio>
#include <string>

enum class Road { kFloor, kInProcess, kMexFunction, kHostDriver };

// One measurement of `road` at the build tagged `build` (10k, 14p4k, 4k);
// repetitions add further measurements, of which the table shows the median.
void recordFigure(const std::string& build, Road road, double nanosecondsPerSample);

// The table, one row per build; nothing when no figure was recorded.
void printSummary(std::FILE* out);

#endif  // ORVANE_BENCH_BENCH_SUMMARY_H
