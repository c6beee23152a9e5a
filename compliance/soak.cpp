#include "compliance/soak.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "compliance/error_metrics.h"
#include "signals/three_phase_signal.h"

namespace {

// A report instant further than this from the grid is off it. Time near
// 2e9 s resolves 0.24 us, so this leaves room for its rounding.
constexpr double kGridTolerance = 1e-6;  // s
// The last interval may measure this much worse than the first before the
// soak counts it as drift: 10 % (the intervals see the wander at slightly
// different points of its cycle) plus a thousandth of the class-P
// steady-state limits (TVE 1 %, FE 0.005 Hz, RFE 0.4 Hz/s), below which
// the errors are rounding noise.
constexpr double kDriftFactor = 1.10;
constexpr double kTveFloor = 1e-3 * 0.01;
constexpr double kFeFloor = 1e-3 * 0.005;
constexpr double kRfeFloor = 1e-3 * 0.4;

bool allFinite(const ModelOutputs& out) {
    return std::isfinite(out.timestamp) && std::isfinite(out.magnitude) && std::isfinite(out.angle) &&
           std::isfinite(out.frequency) && std::isfinite(out.rocof);
}

// max() that lets a NaN error through as the worst of all.
double worst(double current, double candidate) {
    return (std::isnan(candidate) || candidate > current) ? candidate : current;
}

// Whether the last interval measured no worse than the first (allowing for
// where the wander stands); `why` names what got worse.
bool noWorseThanFirst(const SoakInterval& first, const SoakInterval& last, std::string& why) {
    const struct {
        const char* name;
        double first;
        double last;
        double floor;
    } figures[] = {{"TVE", first.worstTve, last.worstTve, kTveFloor},
                   {"FE", first.worstFe, last.worstFe, kFeFloor},
                   {"RFE", first.worstRfe, last.worstRfe, kRfeFloor}};
    for (const auto& f : figures) {
        if (!(f.last <= f.first * kDriftFactor + f.floor)) {
            char text[160];
            std::snprintf(text, sizeof text, "the last interval's worst %s (%.3e) exceeds the first's (%.3e)", f.name,
                          f.last, f.first);
            why = text;
            return false;
        }
    }
    return true;
}

void judge(const SoakSettings& s, uint64_t totalSamples, uint64_t samplesPerInterval, SoakResult& result) {
    uint64_t nonFinite = 0;
    for (const SoakInterval& r : result.rows) {
        nonFinite += r.nonFinite;
        result.offGrid += r.offGrid;
    }
    if (nonFinite != 0) {
        result.verdict = "FAILED: " + std::to_string(nonFinite) + " samples with a non-finite output";
        return;
    }
    // Compare whole intervals only: a short last row sees less of the wander.
    std::size_t lastFull = result.rows.size();
    while (lastFull > 0 && lastFull * samplesPerInterval > totalSamples) --lastFull;
    // After the first row (start-up, and the rate latched at the first
    // channel hand-over) every whole row must bring every report.
    const double expectedReports = s.interval * s.reportRate;
    for (std::size_t r = 1; r < lastFull; ++r) {
        if (static_cast<double>(result.rows[r].reports) < expectedReports - 1.0) {
            char text[120];
            std::snprintf(text, sizeof text, "FAILED: row %zu has %llu of %.0f reports", r + 1,
                          static_cast<unsigned long long>(result.rows[r].reports), expectedReports);
            result.verdict = text;
            return;
        }
    }
    if (lastFull < 2) {
        result.passed = true;
        result.verdict = "passed: no non-finite output (fewer than two whole intervals to compare)";
        return;
    }
    std::string why;
    if (!noWorseThanFirst(result.rows.front(), result.rows[lastFull - 1], why)) {
        result.verdict = "FAILED: " + why;
        return;
    }
    result.passed = true;
    result.verdict =
        "passed: no non-finite output; interval " + std::to_string(lastFull) + " measures no worse than the first";
}

}  // namespace

bool soakTimeBase(const std::string& text, double hours, double& base, std::string& error) {
    if (text == "zero") {
        base = 0.0;
    } else if (text == "now") {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        base = static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
    } else if (text == "2e9") {
        // Whole seconds, so that the reference's whole seconds are the block's.
        base = std::floor(2e9 - hours * 3600.0 / 2.0);
    } else {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value != std::floor(value) ||
            std::fabs(value) > 9e15) {
            error = "'" + text + "' is not zero, now, 2e9 or a whole number of seconds";
            return false;
        }
        base = value;
    }
    return true;
}

bool checkSoakSettings(const SoakSettings& s, std::string& error) {
    if (!(s.hours > 0.0) || s.hours > 10000.0) {
        error = "option '--duration': give more than 0 s and at most 36000000 s (10000 hours)";
    } else if (!(s.interval >= 1.0)) {
        error = "option '--interval': give at least 1 second";
    } else if (!(s.wander >= 0.0) || s.wander > 5.0) {
        error = "option '--wander': give 0 to 5 Hz";
    } else if (!(s.wanderPeriod >= 1.0)) {
        error = "option '--wander-period': give at least 1 second";
    } else if (!(s.settle >= 0.0)) {
        error = "option '--settle': give 0 seconds or more";
    } else {
        return true;
    }
    return false;
}

uint64_t soakSampleCount(const SoakSettings& s, double sampleRate) {
    return static_cast<uint64_t>(std::llround(s.hours * 3600.0 * sampleRate));
}

SoakResult runSoak(const SoakSettings& s, BlockDriver& driver, double sampleRate, double samplePeriod,
                   const SoakObserver& observer) {
    // The frequency wander is a slow phase modulation: a deviation of
    // `wander` Hz needs a depth of wander/fm radians at fm = 1/period.
    ThreePhaseSignalParameters spec;
    spec.amplitude = kSoakAmplitude;
    spec.frequency = kSoakNominalFrequency;
    spec.pmFrequency = 1.0 / s.wanderPeriod;
    spec.pmDepth = s.wander / spec.pmFrequency;
    ThreePhaseSignal signal(spec);

    const uint64_t totalSamples = soakSampleCount(s, sampleRate);
    const auto samplesPerInterval = static_cast<uint64_t>(std::llround(s.interval * sampleRate));
    const auto settleSamples = static_cast<uint64_t>(std::llround(s.settle * sampleRate));

    ModelInputs in;
    in.reportRate = s.reportRate;
    in.reportMode = true;
    in.nominalFrequency = kSoakNominalFrequency;
    ModelOutputs out;
    SoakResult result;
    SoakInterval current;
    current.startTime = s.base;
    // The report at a hand-over to a new rate is the block's one report off
    // the grid by design; it is not counted.
    int32_t previousRate = 0;
    for (uint64_t i = 0; i < totalSamples; ++i) {
        // Time since the base is exact; the block sees it added to the base
        // in double precision, as a host with that time base would hand it.
        const double elapsed = static_cast<double>(i) * samplePeriod;
        in.time = s.base + elapsed;
        signal.sample(elapsed, in.phase);
        if (!driver.step(in, out)) {
            char text[64];
            std::snprintf(text, sizeof text, "the block stopped at Time %.6f s: ", in.time);
            result.blockError = text + driver.error();
            return result;
        }
        if (!allFinite(out)) ++current.nonFinite;
        if (out.reportStrobe) {
            ++current.reports;
            const double reportElapsed = out.timestamp - s.base;
            const double onGrid = std::round(reportElapsed * out.activeReportRate) / out.activeReportRate;
            const bool handOver = previousRate != 0 && out.activeReportRate != previousRate;
            previousRate = out.activeReportRate;
            if (!handOver && !(std::fabs(reportElapsed - onGrid) <= kGridTolerance)) ++current.offGrid;
            if (i >= settleSamples) {
                const ThreePhaseSignal::Reference ref = signal.reference(reportElapsed, kSoakNominalFrequency);
                const PhasorEstimate measured{out.magnitude, out.angle, out.frequency, out.rocof};
                const PhasorEstimate ideal{ref.magnitude, ref.angle, ref.frequency, ref.rocof};
                const double tve = totalVectorError(measured, ideal);
                if (std::isnan(tve) || tve > current.worstTve) current.worstTveAt = out.timestamp;
                current.worstTve = worst(current.worstTve, tve);
                current.worstFe = worst(current.worstFe, frequencyError(measured, ideal));
                current.worstRfe = worst(current.worstRfe, rocofError(measured, ideal));
            }
        }
        if ((i + 1) % samplesPerInterval == 0 || i + 1 == totalSamples) {
            if (observer.row) observer.row(result.rows.size(), current);
            result.rows.push_back(current);
            current = SoakInterval{};
            current.startTime = s.base + static_cast<double>(i + 1) * samplePeriod;
        }
        if ((i & 0xFFFF) == 0 && observer.progress) {
            observer.progress(i, static_cast<double>(i) / static_cast<double>(totalSamples));
        }
    }
    judge(s, totalSamples, samplesPerInterval, result);
    return result;
}
