// The reference P-class phasor estimator: each phase demodulated by
// e^(-j*w0*t) at the nominal frequency, filtered by a triangular FIR two
// nominal cycles long, combined into the positive sequence; frequency and
// ROCOF from the angle of neighbouring windows. Its report for an instant
// is the window centred there; between samples, the two neighbouring
// centres interpolated.
//
// It reports the PEAK phasor, like the model: the filter's output is scaled
// by 2/G (G the sum of the weights), where an RMS phasor would take sqrt(2)/G.
#ifndef ORVANE_COMPLIANCE_REFERENCE_ESTIMATOR_H
#define ORVANE_COMPLIANCE_REFERENCE_ESTIMATOR_H

#include <complex>
#include <cstddef>
#include <vector>

#include "compliance/error_metrics.h"

class ReferenceEstimator {
public:
    // `samplePeriod` is the build's Ts, the spacing of the samples handed to
    // estimate().
    ReferenceEstimator(double sampleRate, double samplePeriod, double nominalFrequency);

    // Filter order N = 2 * round(fs/f0 - 1); the filter has N + 1 taps.
    int order() const { return order_; }
    double gain() const { return gain_; }

    // The estimate at absolute time t from `count` samples of three phases
    // (phase a, b, c of sample n at samples[3n .. 3n+2]), sample n taken at
    // startTime + n * Ts, startTime a whole second. False when the windows
    // would reach outside the samples. `lastSampleTime` is when the newest
    // sample the estimate needs was taken: the estimator's latency is
    // lastSampleTime - t.
    bool estimate(const double* samples, std::size_t count, double startTime, double t, PhasorEstimate& out,
                  double& lastSampleTime);

private:
    struct Centre {
        double magnitude;  // P-class corrected
        double angle;
        double frequency;
        double rocof;
    };
    // Positive-sequence phasor of the window centred on sample `centre`;
    // demodulated_ must hold samples from firstDemodulated_ on.
    std::complex<double> positiveSequence(long centre) const;
    void demodulate(const double* samples, double startTime, long first, long last);
    Centre centreEstimate(const std::complex<double>& before, const std::complex<double>& at,
                          const std::complex<double>& after) const;

    double samplePeriod_;
    double nominalFrequency_;
    int order_;
    double gain_;
    std::vector<double> weights_;                      // W(k), k = -N/2 .. N/2
    std::vector<std::complex<double>> demodulated_;    // 3 per sample
    long firstDemodulated_ = 0;
};

#endif  // ORVANE_COMPLIANCE_REFERENCE_ESTIMATOR_H
