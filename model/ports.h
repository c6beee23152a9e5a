// The measurement block's seven input and seven output ports: their order,
// widths and data types as the block registers them, and one sample's
// values on them as a host writes and reads them.
#ifndef ORVANE_MODEL_PORTS_H
#define ORVANE_MODEL_PORTS_H

#include <cstdint>

#include "contract/host_types.h"
#include "model/record/work_vectors.h"

namespace port {

enum Input : int {
    kPhaseSamples = 0,
    kTime = 1,
    kReportRate = 2,
    kMagnitudeCoeffs = 3,
    kPhaseCoeffs = 4,
    kNominalFrequency = 5,
    kReportMode = 6,
};
inline constexpr int kNumInputs = 7;

enum Output : int {
    kTimestamp = 0,
    kMagnitude = 1,
    kAngle = 2,
    kFrequency = 3,
    kRocof = 4,
    kReportStrobe = 5,
    kActiveReportRate = 6,
};
inline constexpr int kNumOutputs = 7;

struct Shape {
    int width;
    int dataType;
};

inline constexpr Shape kInputShapes[kNumInputs] = {
    {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_INT32}, {3, SS_DOUBLE}, {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN},
};

inline constexpr Shape kOutputShapes[kNumOutputs] = {
    {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN}, {1, SS_INT32},
};

// DWORK0..DWORK230: the block's whole state between samples.
inline constexpr int kNumWorkVectors = ::kNumWorkVectors;

}  // namespace port

// One sample's input values, port by port.
struct ModelInputs {
    double phase[3] = {0.0, 0.0, 0.0};  // va, vb, vc
    double time = 0.0;                  // s, absolute
    int32_t reportRate = 50;
    double magnitudeCoeffs[3] = {0.0, 0.0, 1.0};  // c2, c1, c0
    double phaseCoeffs[3] = {0.0, 0.0, 0.0};      // p2, p1, p0
    double nominalFrequency = 50.0;
    bool reportMode = true;
};

// One sample's output values, port by port.
struct ModelOutputs {
    double timestamp = 0.0;
    double magnitude = 0.0;
    double angle = 0.0;
    double frequency = 0.0;
    double rocof = 0.0;
    bool reportStrobe = false;
    int32_t activeReportRate = 0;
};

#endif  // ORVANE_MODEL_PORTS_H
