// One sample's values on the measurement block's seven input and seven
// output ports, as the host writes and reads them.
#ifndef ORVANE_HOST_PORT_VALUES_H
#define ORVANE_HOST_PORT_VALUES_H

#include <cstdint>

struct ModelInputs {
    double phase[3] = {0.0, 0.0, 0.0};  // va, vb, vc
    double time = 0.0;                  // s, absolute
    int32_t reportRate = 50;
    double magnitudeCoeffs[3] = {0.0, 0.0, 1.0};  // c2, c1, c0
    double phaseCoeffs[3] = {0.0, 0.0, 0.0};      // p2, p1, p0
    double nominalFrequency = 50.0;
    bool reportMode = true;
};

struct ModelOutputs {
    double timestamp = 0.0;
    double magnitude = 0.0;
    double angle = 0.0;
    double frequency = 0.0;
    double rocof = 0.0;
    bool reportStrobe = false;
    int32_t activeReportRate = 0;
};

#endif  // ORVANE_HOST_PORT_VALUES_H
