// orvane soak: hours of simulated time through one model instance. A steady
// 100-peak three-phase signal whose frequency wanders slowly around 50 Hz
// runs through the 10 kHz model in report mode; every report is compared with
// the signal's exact phasor. Per interval (an hour by default) the worst TVE,
// FE and RFE, the reports, the reports off the grid of whole fractions of a
// second and the samples with a non-finite output. A long run must measure
// as well at its end as in its first interval and never give a non-finite
// output on this finite signal.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/command_registry.h"
#include "cli/driver_factory.h"
#include "cli/progress_meter.h"
#include "compliance/error_metrics.h"
#include "signals/three_phase_signal.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane soak [--hours N] [--time-base BASE] [options]\n"
    "\n"
    "Runs N simulated hours (default 24) of a steady three-phase signal, peak 100,\n"
    "whose frequency wanders slowly around 50 Hz, through the 10 kHz model in\n"
    "report mode, and prints per interval the worst total vector error, frequency\n"
    "error and ROCOF error of the reports against the signal's exact phasor, the\n"
    "number of reports, the reports whose instant is off the grid of whole\n"
    "fractions of a second, and the samples with a non-finite output. Fails (exit\n"
    "1) on any non-finite output, on a whole interval after the first that misses\n"
    "reports, or when the last whole interval measures worse than the first by\n"
    "more than 10 % plus a thousandth of the class-P limits.\n"
    "\n"
    "options:\n"
    "  --hours N          simulated hours, may be fractional (default 24)\n"
    "  --time-base BASE   the block's Time of the first sample, whole seconds:\n"
    "                       zero      0 (default)\n"
    "                       now       seconds since 1970 at the start of the run\n"
    "                       2e9       so that the run's middle is Time = 2e9 s\n"
    "                       SECONDS   any whole number of seconds\n"
    "  --interval S       seconds of simulated time per row (default 3600)\n"
    "  --report-rate N    requested reports per second, 1..1200 (default 50)\n"
    "  --wander HZ        peak frequency deviation from 50 Hz (default 0.1)\n"
    "  --wander-period S  period of the wander in seconds (default 600)\n"
    "  --settle S         seconds at the start left out of the errors (default 1)\n"
    "  --mex              drive the built deliverable through mexFunction (slower)\n"
    "                     instead of the model linked into the tool\n"
    "  --help             this text\n";

constexpr double kNominalFrequency = 50.0;
constexpr double kAmplitude = 100.0;
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

struct SoakSettings {
    double hours = 24.0;
    double interval = 3600.0;
    double base = 0.0;
    std::string baseName = "zero";
    int32_t reportRate = 50;
    double wander = 0.1;
    double wanderPeriod = 600.0;
    double settle = 1.0;
    bool mex = false;
};

struct IntervalFigures {
    double startTime = 0.0;  // the block's Time at the interval's start
    uint64_t reports = 0;
    uint64_t offGrid = 0;
    uint64_t nonFinite = 0;
    double worstTve = 0.0;
    double worstFe = 0.0;
    double worstRfe = 0.0;
    double worstTveAt = 0.0;  // Time of the worst TVE report
};

bool allFinite(const ModelOutputs& out) {
    return std::isfinite(out.timestamp) && std::isfinite(out.magnitude) && std::isfinite(out.angle) &&
           std::isfinite(out.frequency) && std::isfinite(out.rocof);
}

// max() that lets a NaN error through as the worst of all.
double worst(double current, double candidate) {
    return (std::isnan(candidate) || candidate > current) ? candidate : current;
}

bool parseTimeBase(const std::string& text, double hours, SoakSettings& s, std::string& error) {
    s.baseName = text;
    if (text == "zero") {
        s.base = 0.0;
    } else if (text == "now") {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        s.base = static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
    } else if (text == "2e9") {
        // Whole seconds, so that the reference's whole seconds are the block's.
        s.base = std::floor(2e9 - hours * 3600.0 / 2.0);
    } else {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value != std::floor(value) ||
            std::fabs(value) > 9e15) {
            error = "option '--time-base': '" + text + "' is not zero, now, 2e9 or a whole number of seconds";
            return false;
        }
        s.base = value;
    }
    return true;
}

bool parseSettings(const std::vector<std::string>& args, SoakSettings& s, std::string& error) {
    CommandOptions options;
    int64_t rate = s.reportRate;
    if (!options.parse(args,
                       {{"hours", true}, {"time-base", true}, {"interval", true}, {"report-rate", true},
                        {"wander", true}, {"wander-period", true}, {"settle", true}, {"mex", false}},
                       error) ||
        !options.number("hours", s.hours, error) || !options.number("interval", s.interval, error) ||
        !options.integer("report-rate", 1, 1200, rate, error) || !options.number("wander", s.wander, error) ||
        !options.number("wander-period", s.wanderPeriod, error) || !options.number("settle", s.settle, error)) {
        return false;
    }
    s.reportRate = static_cast<int32_t>(rate);
    s.mex = options.has("mex");
    if (!(s.hours > 0.0) || s.hours > 10000.0) {
        error = "option '--hours': give a number of hours above 0 and at most 10000";
        return false;
    }
    if (!(s.interval >= 1.0)) {
        error = "option '--interval': give at least 1 second";
        return false;
    }
    if (!(s.wander >= 0.0) || s.wander > 5.0) {
        error = "option '--wander': give 0 to 5 Hz";
        return false;
    }
    if (!(s.wanderPeriod >= 1.0)) {
        error = "option '--wander-period': give at least 1 second";
        return false;
    }
    if (!(s.settle >= 0.0)) {
        error = "option '--settle': give 0 seconds or more";
        return false;
    }
    return parseTimeBase(options.text("time-base", "zero"), s.hours, s, error);
}

void printRow(std::size_t index, const IntervalFigures& f) {
    std::printf("%5zu  %16.4f  %8llu  %8llu  %13.3e  %13.3e  %14.3e  %10llu\n", index + 1, f.startTime,
                static_cast<unsigned long long>(f.reports), static_cast<unsigned long long>(f.offGrid),
                f.worstTve * 100.0, f.worstFe, f.worstRfe, static_cast<unsigned long long>(f.nonFinite));
    std::fflush(stdout);
}

// Whether the last interval measured no worse than the first (allowing for
// where the wander stands); `why` names what got worse.
bool noWorseThanFirst(const IntervalFigures& first, const IntervalFigures& last, std::string& why) {
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

int soakCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    SoakSettings s;
    std::string error;
    if (!parseSettings(args, s, error)) {
        std::fprintf(stderr, "orvane soak: %s\n(try 'orvane soak --help')\n", error.c_str());
        return 2;
    }

    DriverChoice choice;
    choice.buildTag = "10k";
    choice.inProcess = !s.mex;
    const SampleRateBuild& build = *buildByTag(choice.buildTag);
    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) {
        std::fprintf(stderr, "orvane soak: %s\n", error.c_str());
        return 1;
    }
    if (!driver->start()) {
        std::fprintf(stderr, "orvane soak: the block did not start: %s\n", driver->error().c_str());
        return 1;
    }

    // The frequency wander is a slow phase modulation: a deviation of
    // `wander` Hz needs a depth of wander/fm radians at fm = 1/period.
    ThreePhaseSignalSpec spec;
    spec.amplitude = kAmplitude;
    spec.frequency = kNominalFrequency;
    spec.pmFrequency = 1.0 / s.wanderPeriod;
    spec.pmDepth = s.wander / spec.pmFrequency;
    ThreePhaseSignal signal(spec);

    const auto totalSamples = static_cast<uint64_t>(std::llround(s.hours * 3600.0 * build.fs));
    const auto samplesPerInterval = static_cast<uint64_t>(std::llround(s.interval * build.fs));
    const auto settleSamples = static_cast<uint64_t>(std::llround(s.settle * build.fs));

    std::printf("soak: %.6g simulated hours (%llu samples) through %s%s; Time from %.1f s (time base %s)\n", s.hours,
                static_cast<unsigned long long>(totalSamples), build.sfunctionName,
                s.mex ? " via mexFunction" : " (model linked in)", s.base, s.baseName.c_str());
    std::printf("signal: peak %.0f, 50 Hz +- %.3g Hz over %.0f s; %d reports per second; first %.3g s left out\n\n",
                kAmplitude, s.wander, s.wanderPeriod, s.reportRate, s.settle);
    std::printf("%5s  %16s  %8s  %8s  %13s  %13s  %14s  %10s\n", "row", "Time at start (s)", "reports", "off grid",
                "worst TVE (%)", "worst FE (Hz)", "worst RFE (Hz/s)", "non-finite");

    ModelInputs in;
    in.reportRate = s.reportRate;
    in.reportMode = true;
    in.nominalFrequency = kNominalFrequency;
    ModelOutputs out;
    ProgressMeter progress("orvane soak");

    std::vector<IntervalFigures> rows;
    IntervalFigures current;
    current.startTime = s.base;
    // The report at a hand-over to a new rate is the block's one report off
    // the grid by design; it is not counted.
    int32_t previousRate = 0;
    for (uint64_t i = 0; i < totalSamples; ++i) {
        // Time since the base is exact; the block sees it added to the base
        // in double precision, as a host with that time base would hand it.
        const double elapsed = static_cast<double>(i) * build.ts;
        in.time = s.base + elapsed;
        signal.sample(elapsed, in.phase);
        if (!driver->step(in, out)) {
            progress.done();
            std::fprintf(stderr, "orvane soak: the block stopped at Time %.6f s: %s\n", in.time,
                         driver->error().c_str());
            return 1;
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
                const ThreePhaseSignal::Reference ref = signal.reference(reportElapsed, kNominalFrequency);
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
            progress.done();
            printRow(rows.size(), current);
            rows.push_back(current);
            current = IntervalFigures{};
            current.startTime = s.base + static_cast<double>(i + 1) * build.ts;
        }
        if ((i & 0xFFFF) == 0) progress.update(i, static_cast<double>(i) / static_cast<double>(totalSamples));
    }
    progress.done();
    driver->finish();

    uint64_t nonFinite = 0;
    uint64_t offGrid = 0;
    for (const IntervalFigures& r : rows) {
        nonFinite += r.nonFinite;
        offGrid += r.offGrid;
    }
    std::printf("\n");
    std::printf("reports off the grid: %llu\n", static_cast<unsigned long long>(offGrid));
    if (nonFinite != 0) {
        std::printf("soak: FAILED: %llu samples with a non-finite output\n", static_cast<unsigned long long>(nonFinite));
        return 1;
    }
    // Compare whole intervals only: a short last row sees less of the wander.
    std::size_t lastFull = rows.size();
    while (lastFull > 0 && lastFull * samplesPerInterval > totalSamples) --lastFull;
    // After the first row (start-up, and the rate latched at the first
    // channel hand-over) every whole row must bring every report.
    const double expectedReports = s.interval * s.reportRate;
    for (std::size_t r = 1; r < lastFull; ++r) {
        if (static_cast<double>(rows[r].reports) < expectedReports - 1.0) {
            std::printf("soak: FAILED: row %zu has %llu of %.0f reports\n", r + 1,
                        static_cast<unsigned long long>(rows[r].reports), expectedReports);
            return 1;
        }
    }
    if (lastFull >= 2) {
        std::string why;
        if (!noWorseThanFirst(rows.front(), rows[lastFull - 1], why)) {
            std::printf("soak: FAILED: %s\n", why.c_str());
            return 1;
        }
        std::printf("soak: passed: no non-finite output; interval %zu measures no worse than the first\n", lastFull);
    } else {
        std::printf("soak: passed: no non-finite output (fewer than two whole intervals to compare)\n");
    }
    return 0;
}

const CommandRegistration kRegistration({"soak", "hours of simulated time: worst errors per hour, non-finite outputs",
                                         soakCommand});

}  // namespace
