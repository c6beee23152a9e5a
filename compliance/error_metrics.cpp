#include "compliance/error_metrics.h"

#include <cmath>
#include <numbers>

double totalVectorError(const PhasorEstimate& measured, const PhasorEstimate& ideal) {
    // The difference of the rectangular components, not of magnitude and
    // angle separately: a pure angle error of e rad is a TVE of about e.
    const double dRe = measured.magnitude * std::cos(measured.angle) - ideal.magnitude * std::cos(ideal.angle);
    const double dIm = measured.magnitude * std::sin(measured.angle) - ideal.magnitude * std::sin(ideal.angle);
    return std::hypot(dRe, dIm) / std::fabs(ideal.magnitude);
}

double frequencyError(const PhasorEstimate& measured, const PhasorEstimate& ideal) {
    return std::fabs(measured.frequency - ideal.frequency);
}

double rocofError(const PhasorEstimate& measured, const PhasorEstimate& ideal) {
    return std::fabs(measured.rocof - ideal.rocof);
}

double wrapToPi(double angle) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    double wrapped = std::remainder(angle, kTwoPi);
    if (wrapped <= -std::numbers::pi) wrapped += kTwoPi;
    return wrapped;
}
