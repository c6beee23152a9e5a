#include "bench/math_floor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <numbers>

#include "bench/cpu_clock.h"

namespace {

double wrap(double angle) { return std::remainder(angle, 2.0 * std::numbers::pi); }

}  // namespace

const std::vector<FloorArguments>& floorArguments(double fs) {
    static std::map<double, std::vector<FloorArguments>> tables;
    auto found = tables.find(fs);
    if (found != tables.end()) return found->second;
    const std::vector<FloorArguments> table = [fs] {
        constexpr size_t kCount = 4096;
        const double kTwoPiTs = 2.0 * std::numbers::pi / fs;
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
    return tables.emplace(fs, table).first->second;
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

double floorNanosecondsPerSample(double fs) {
    static std::map<double, double> measured;
    auto found = measured.find(fs);
    if (found != measured.end()) return found->second;
    const double nanoseconds = [fs] {
        const std::vector<FloorArguments>& args = floorArguments(fs);
        constexpr size_t kSamples = 2'000'000;
        // Once untimed, to warm caches and the CPU clock.
        for (size_t k = 0; k < args.size(); ++k) benchmark::DoNotOptimize(floorSample(args[k]));
        const double start = threadCpuNanoseconds();
        for (size_t k = 0; k < kSamples; ++k) benchmark::DoNotOptimize(floorSample(args[k % args.size()]));
        const double elapsed = threadCpuNanoseconds() - start;
        return elapsed / static_cast<double>(kSamples);
    }();
    measured.emplace(fs, nanoseconds);
    return nanoseconds;
}
