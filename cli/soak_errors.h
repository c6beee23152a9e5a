// Accuracy of one report against the exact reference phasor: total vector
// error (a fraction of the reference magnitude), frequency error (Hz) and
// ROCOF error (Hz/s), with the usual definitions.
#ifndef ORVANE_CLI_SOAK_ERRORS_H
#define ORVANE_CLI_SOAK_ERRORS_H

#include <cmath>

struct SoakErrors {
    double tve = 0.0;
    double fe = 0.0;
    double rfe = 0.0;
};

// Magnitudes are peak values on both sides; angles in radians.
inline SoakErrors soakErrors(double magnitude, double angle, double frequency, double rocof, double refMagnitude,
                             double refAngle, double refFrequency, double refRocof) {
    SoakErrors e;
    const double dRe = magnitude * std::cos(angle) - refMagnitude * std::cos(refAngle);
    const double dIm = magnitude * std::sin(angle) - refMagnitude * std::sin(refAngle);
    e.tve = std::hypot(dRe, dIm) / refMagnitude;
    e.fe = std::fabs(frequency - refFrequency);
    e.rfe = std::fabs(rocof - refRocof);
    return e;
}

#endif  // ORVANE_CLI_SOAK_ERRORS_H
