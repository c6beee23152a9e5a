// A fuzz target's own invariants: a broken one stops the run like a
// sanitizer report, so libFuzzer keeps the input that broke it.
#ifndef ORVANE_FUZZ_FUZZ_CHECK_H
#define ORVANE_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, \
                         #condition);                                             \
            std::fprintf(stderr, __VA_ARGS__);                                    \
            std::fputc('\n', stderr);                                             \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

#endif  // ORVANE_FUZZ_FUZZ_CHECK_H
