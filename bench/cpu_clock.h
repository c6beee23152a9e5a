// The calling thread's CPU time. The machine is shared, so the figures are
// taken in CPU time of the benchmark thread: time spent waiting for a core
// would otherwise count as time spent computing.
#ifndef ORVANE_BENCH_CPU_CLOCK_H
#define ORVANE_BENCH_CPU_CLOCK_H

#include <ctime>

inline double threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

#endif  // ORVANE_BENCH_CPU_CLOCK_H
