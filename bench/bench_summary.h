// The figures of one benchmark run gathered per build and printed together
// at the end: the floor, the model in-process, the model through the
// deliverable's mexFunction and our host's whole per-sample road, each in ns
// of CPU time per sample and as a multiple of the build's floor.
#ifndef ORVANE_BENCH_BENCH_SUMMARY_H
#define ORVANE_BENCH_BENCH_SUMMARY_H

#include <cstdio>
#include <string>

// One reported run of the benchmark named `name`: BM_MathFloor/<build>,
// BM_ModelStep/<build>/50Hz, BM_MexFunction/<build> or
// BM_HostDriver/<build> (other names are not part of the table). `median`
// marks the median of the repetitions, which the table prefers; without it
// the table shows the median of the repetitions it was given.
void recordRun(const std::string& name, bool median, double nanosecondsPerSample);

// The table, one row per build; nothing when no figure was recorded.
void printSummary(std::FILE* out);

#endif  // ORVANE_BENCH_BENCH_SUMMARY_H
