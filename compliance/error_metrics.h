// Accuracy measures of a phasor report against the ideal values:
// total vector error, frequency error and ROCOF error.
#ifndef ORVANE_COMPLIANCE_ERROR_METRICS_H
#define ORVANE_COMPLIANCE_ERROR_METRICS_H

// One estimate: magnitude (peak), angle (rad), frequency (Hz), ROCOF (Hz/s).
struct PhasorEstimate {
    double magnitude = 0.0;
    double angle = 0.0;
    double frequency = 0.0;
    double rocof = 0.0;
};

// |X_measured - X_ideal| / |X_ideal| as a fraction, with both phasors formed
// from magnitude and angle in the same convention (peak, or RMS: the ratio
// is the same).
double totalVectorError(const PhasorEstimate& measured, const PhasorEstimate& ideal);
double frequencyError(const PhasorEstimate& measured, const PhasorEstimate& ideal);
double rocofError(const PhasorEstimate& measured, const PhasorEstimate& ideal);

// An angle brought into -pi..pi.
double wrapToPi(double angle);

#endif  // ORVANE_COMPLIANCE_ERROR_METRICS_H
