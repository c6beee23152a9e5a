// Where the benchmark finds a built deliverable: the directory named by
// ORVANE_BENCH_DELIVERABLES when set (to measure another build of them),
// otherwise the benchmark program's own directory, where CMake puts both.
#ifndef ORVANE_BENCH_DELIVERABLE_PATH_H
#define ORVANE_BENCH_DELIVERABLE_PATH_H

#include <string>

std::string benchDeliverablePath(const std::string& sfunctionName);

#endif  // ORVANE_BENCH_DELIVERABLE_PATH_H
