// Finding and loading the built deliverables from tests. ctest sets
// ORVANE_BUILD_DIR to the build directory, where they are built.
#ifndef ORVANE_TESTS_SUPPORT_DELIVERABLES_H
#define ORVANE_TESTS_SUPPORT_DELIVERABLES_H

#include <cstdlib>
#include <memory>
#include <string>

#include "host/deliverable.h"

inline std::string buildDirectory() {
    const char* dir = std::getenv("ORVANE_BUILD_DIR");
    return dir != nullptr ? dir : "build";
}

// The path of the built deliverable with this S-function name.
inline std::string deliverablePath(const std::string& sfunctionName) {
    return buildDirectory() + "/" + sfunctionName + ".mexa64";
}

// The loaded deliverable; null with `error` set when it cannot be loaded.
inline std::shared_ptr<Deliverable> loadDeliverable(const std::string& sfunctionName, std::string& error) {
    return Deliverable::open(deliverablePath(sfunctionName), error);
}

inline const char* const kMeasurementDeliverables[] = {"Orvane_10kHz_sf", "Orvane_14p4kHz_sf", "Orvane_4kHz_sf"};
inline const char* const kAllDeliverables[] = {"Orvane_10kHz_sf", "Orvane_14p4kHz_sf", "Orvane_4kHz_sf",
                                               "Narrow32_sf"};

#endif  // ORVANE_TESTS_SUPPORT_DELIVERABLES_H
