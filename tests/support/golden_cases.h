// The nine golden runs: three signals at each of the three builds.
#ifndef ORVANE_TESTS_SUPPORT_GOLDEN_CASES_H
#define ORVANE_TESTS_SUPPORT_GOLDEN_CASES_H

#include <string>

#include <gtest/gtest.h>

#include "model/model_entry.h"

struct GoldenCase {
    const char* signal;
    const char* buildTag;
    const ModelEntry* entry;

    // The files' common stem, e.g. "steady50_10k".
    std::string stem() const { return std::string(signal) + "_" + buildTag; }
};

inline const GoldenCase kGoldenCases[] = {
    {"steady50", "10k", &model_10k::kModelEntry}, {"steady50", "14p4k", &model_14p4k::kModelEntry},
    {"steady50", "4k", &model_4k::kModelEntry},   {"ramp", "10k", &model_10k::kModelEntry},
    {"ramp", "14p4k", &model_14p4k::kModelEntry}, {"ramp", "4k", &model_4k::kModelEntry},
    {"stress", "10k", &model_10k::kModelEntry},   {"stress", "14p4k", &model_14p4k::kModelEntry},
    {"stress", "4k", &model_4k::kModelEntry},
};

inline std::string goldenCaseName(const testing::TestParamInfo<GoldenCase>& info) { return info.param.stem(); }

#endif  // ORVANE_TESTS_SUPPORT_GOLDEN_CASES_H
