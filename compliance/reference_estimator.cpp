#include "compliance/reference_estimator.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
// The operator a = e^(j*2*pi/3) and its square, which rotate phases b and c
// onto phase a in the positive sequence.
const std::complex<double> kA{-0.5, std::numbers::sqrt3 / 2.0};
const std::complex<double> kA2{-0.5, -std::numbers::sqrt3 / 2.0};

// The fractional part of x (x >= 0): turns kept small before 2*pi scales them.
double fractionOf(double x) { return x - std::floor(x); }

}  // namespace

ReferenceEstimator::ReferenceEstimator(double sampleRate, double samplePeriod, double nominalFrequency)
    : samplePeriod_(samplePeriod), nominalFrequency_(nominalFrequency) {
    // Two nominal cycles of samples, less the two end points where the
    // triangle is zero; rounded to an even order where fs/f0 is fractional.
    order_ = 2 * static_cast<int>(std::lround(sampleRate / nominalFrequency - 1.0));
    const int half = order_ / 2;
    gain_ = 0.0;
    for (int k = -half; k <= half; ++k) {
        const double w = 1.0 - 2.0 * std::abs(k) / (order_ + 2.0);
        weights_.push_back(w);
        gain_ += w;
    }
}

void ReferenceEstimator::demodulate(const double* samples, double startTime, long first, long last) {
    // Oscillator phase in turns, zero at every whole second: the same
    // reference as the model's angle (f0 is a whole number of hertz).
    const double startTurns = fractionOf(nominalFrequency_ * startTime);
    demodulated_.resize(static_cast<std::size_t>(3 * (last - first + 1)));
    for (long n = first; n <= last; ++n) {
        const double turns = fractionOf(startTurns + nominalFrequency_ * (static_cast<double>(n) * samplePeriod_));
        const double phase = 2.0 * kPi * turns;
        const std::complex<double> oscillator{std::cos(phase), -std::sin(phase)};
        for (int p = 0; p < 3; ++p) {
            demodulated_[static_cast<std::size_t>(3 * (n - first) + p)] =
                samples[3 * n + p] * oscillator;
        }
    }
    firstDemodulated_ = first;
}

std::complex<double> ReferenceEstimator::positiveSequence(long centre) const {
    const int half = order_ / 2;
    std::complex<double> phase[3] = {};
    for (int k = -half; k <= half; ++k) {
        const std::size_t base = static_cast<std::size_t>(3 * (centre + k - firstDemodulated_));
        const double w = weights_[static_cast<std::size_t>(k + half)];
        for (int p = 0; p < 3; ++p) phase[p] += w * demodulated_[base + static_cast<std::size_t>(p)];
    }
    // 2/G makes a cosine of peak A come out as magnitude A.
    const double scale = 2.0 / gain_;
    return scale * (phase[0] + kA * phase[1] + kA2 * phase[2]) / 3.0;
}

ReferenceEstimator::Centre ReferenceEstimator::centreEstimate(const std::complex<double>& before,
                                                             const std::complex<double>& at,
                                                             const std::complex<double>& after) const {
    const double dt = samplePeriod_;
    const double stepAfter = wrapToPi(std::arg(after) - std::arg(at));
    const double stepBefore = wrapToPi(std::arg(at) - std::arg(before));
    Centre c;
    c.angle = std::arg(at);
    // Central differences of the angle: (theta[i+1] - theta[i-1]) / (4*pi*dt)
    // and (theta[i+1] - 2*theta[i] + theta[i-1]) / (2*pi*dt^2), taken over
    // wrapped steps so that a pass through +-pi costs nothing.
    c.frequency = nominalFrequency_ + (stepAfter + stepBefore) / (4.0 * kPi * dt);
    c.rocof = (stepAfter - stepBefore) / (2.0 * kPi * dt * dt);
    // The triangular filter's droop off nominal, undone as the P-class
    // reference does.
    const double f0 = nominalFrequency_;
    c.magnitude = std::abs(at) / std::sin(kPi * (f0 + 1.625 * (f0 - c.frequency)) / (2.0 * f0));
    return c;
}

bool ReferenceEstimator::estimate(const double* samples, std::size_t count, double startTime, double t,
                                  PhasorEstimate& out, double& lastSampleTime) {
    const double position = (t - startTime) / samplePeriod_;
    if (!std::isfinite(position)) return false;
    long centre = std::lround(position);
    double fraction = 0.0;
    if (std::fabs(position - static_cast<double>(centre)) > 1e-6) {
        centre = static_cast<long>(std::floor(position));
        fraction = position - static_cast<double>(centre);
    }
    const bool between = fraction != 0.0;
    const long half = order_ / 2;
    const long first = centre - 1 - half;
    const long last = centre + 1 + (between ? 1 : 0) + half;
    if (first < 0 || last >= static_cast<long>(count)) return false;
    demodulate(samples, startTime, first, last);

    const std::complex<double> x0 = positiveSequence(centre - 1);
    const std::complex<double> x1 = positiveSequence(centre);
    const std::complex<double> x2 = positiveSequence(centre + 1);
    const Centre here = centreEstimate(x0, x1, x2);
    lastSampleTime = startTime + static_cast<double>(last) * samplePeriod_;
    if (!between) {
        out = {here.magnitude, here.angle, here.frequency, here.rocof};
        return true;
    }
    const Centre next = centreEstimate(x1, x2, positiveSequence(centre + 2));
    out.magnitude = here.magnitude + fraction * (next.magnitude - here.magnitude);
    // Along the shorter arc between the two centres.
    out.angle = wrapToPi(here.angle + fraction * wrapToPi(next.angle - here.angle));
    out.frequency = here.frequency + fraction * (next.frequency - here.frequency);
    out.rocof = here.rocof + fraction * (next.rocof - here.rocof);
    return true;
}
