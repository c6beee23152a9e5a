#include "bench/math_floor.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>

namespace {

double wrap(double angle) { return std::remainder(angle, 2.0 * std::numbers::pi); }

}  // namespace

const std::vector<FloorArguments>& floorArguments() {
    static const std::vector<FloorArguments> table = [] {
        constexpr size_t kCount = 4096;
        constexpr double kTwoPiTs = 2.0 * std::numbers::pi * 0.0001;
        std::vector<FloorArguments> t(kCount);
        for (size_t k = 0; k < kCount; ++k) {
            const double n = static_cast<double>(k);
            const double phaseCh1 = wrap(kTwoPiTs * 50.0 * n);
            const double phaseCh2 = wrap(kTwoPiTs * 50.2 * n + 1.3);
            const double signalPhase = wrap(kTwoPiTs * 50.3 * n);
            // Slowly turning phasors: the detectors see a small angle step.
            const double detector1 = wrap(kTwoPiTs * 0.3 * n);
            const double detector2 = wrap(kTwoPiTs * 0.1 * n + 0.5);
            t[k] = FloorArguments{
                phaseCh1,
                phaseCh2,
                wrap(phaseCh1 - signalPhase - std::numbers::pi / 2.0),
                0.3 * 0.02 * std::numbers::pi,
                100.0 * std::cos(signalPhase),
                100.0 * std::sin(signalPhase),
                1e4 * std::cos(detector1),
                1e4 * std::sin(detector1),
                1e4 * std::cos(detector2),
                1e4 * std::sin(detector2),
            };
        }
        return t;
    }();
    return table;
}

double floorSample(const FloorArguments& a) {
    const double s1 = std::sin(a.oscillatorCh1);
    const double c1 = std::cos(a.oscillatorCh1);
    const double s2 = std::sin(a.oscillatorCh2);
    const double c2 = std::cos(a.oscillatorCh2);
    const double sc = std::sin(a.correctionAngle);
    const double cc = std::cos(a.correctionAngle);
    const double droop = std::sin(a.droopArgument);
    const double angle = std::atan2(a.phasorIm, a.phasorRe);
    const double detector1 = std::atan2(a.detectorCh1Im, a.detectorCh1Re);
    const double detector2 = std::atan2(a.detectorCh2Im, a.detectorCh2Re);
    const double magnitude = std::sqrt(a.phasorRe * a.phasorRe + a.phasorIm * a.phasorIm);
    return ((s1 + c1) + (s2 + c2)) + ((sc + cc) + droop) + ((angle + detector1) + (detector2 + magnitude));
}

double floorNanosecondsPerSample() {
    static const double nanoseconds = [] {
        const std::vector<FloorArguments>& args = floorArguments();
        constexpr size_t kSamples = 2'000'000;
        // Once untimed, to warm caches and the CPU clock.
        for (size_t k = 0; k < args.size(); ++k) benchmark::DoNotOptimize(floorSample(args[k]));
        const auto start = std::chrono::steady_clock::now();
        for (size_t k = 0; k < kSamples; ++k) benchmark::DoNotOptimize(floorSample(args[k % args.size()]));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(kSamples);
    }();
    return nanoseconds;
}
