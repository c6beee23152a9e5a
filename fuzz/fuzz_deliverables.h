// The deliverables built beside the fuzz targets, loaded once per process.
#ifndef ORVANE_FUZZ_FUZZ_DELIVERABLES_H
#define ORVANE_FUZZ_FUZZ_DELIVERABLES_H

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/deliverable.h"
#include "host/mex_call_scope.h"

inline const char* const kFuzzDeliverableNames[] = {"Orvane_10kHz_sf", "Orvane_14p4kHz_sf", "Orvane_4kHz_sf",
                                                    "Narrow32_sf"};
constexpr std::size_t kFuzzDeliverableCount = 4;

// Deliverable i of the list above; the process ends if it does not load,
// since no input could then say anything.
inline std::shared_ptr<Deliverable> fuzzDeliverable(std::size_t i) {
    static std::shared_ptr<Deliverable> loaded[kFuzzDeliverableCount];
    if (loaded[i] == nullptr) {
        // Fault dialogs are expected by the thousand; keep them off stderr.
        setDialogEcho(false);
        std::string error;
        loaded[i] = Deliverable::open(std::string(ORVANE_FUZZ_BUILD_DIR) + "/" + kFuzzDeliverableNames[i] + ".mexa64",
                                      error);
        if (loaded[i] == nullptr) {
            std::fprintf(stderr, "cannot load a deliverable: %s\n", error.c_str());
            std::abort();
        }
    }
    return loaded[i];
}

#endif  // ORVANE_FUZZ_FUZZ_DELIVERABLES_H
