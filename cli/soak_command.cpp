// orvane soak: hours of simulated time through one model instance, worst
// errors per interval against the signal's exact phasor.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/options.h"
#include "cli/progress.h"
#include "compliance/soak_table.h"

namespace {

struct SoakOptions {
    SoakSettings settings;
    std::string timeBase = "zero";
    DriverChoice choice;
    CLI::Option* deliverable = nullptr;
};

int soakCommand(SoakOptions& o) {
    SoakSettings& s = o.settings;
    std::string error;
    if (!checkSoakSettings(s, error)) throw UsageError(error);
    if (!soakTimeBase(o.timeBase, s.hours, s.base, error)) throw UsageError("option '--time-base': " + error);

    // The soak's default road is the model linked in: hours of samples
    // through mexFunction take several times longer.
    DriverChoice choice = o.choice;
    const bool mex = o.deliverable->count() > 0 || !choice.inProcess;
    choice.inProcess = !mex;
    const SampleRateBuild& build = *buildByTag(choice.buildTag);
    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) return failWith(1, error);
    if (!driver->start()) return failWith(1, "the block did not start: " + driver->error());

    std::fputs(soakHeading(s, soakSampleCount(s, build.fs), build.sfunctionName,
                           mex ? " via mexFunction" : " (model linked in)", o.timeBase)
                   .c_str(),
               stdout);

    ProgressDisplay display(commandName());
    SoakObserver observer;
    observer.row = [&](std::size_t index, const SoakInterval& row) {
        display.clear();
        std::fputs(soakRow(index, row).c_str(), stdout);
        std::fflush(stdout);
    };
    observer.progress = [&](uint64_t samples, double fraction) { display.update(samples, fraction); };
    const SoakResult result = runSoak(s, *driver, build.fs, build.ts, observer);
    display.clear();
    if (!result.blockError.empty()) return failWith(1, result.blockError);
    driver->finish();
    std::printf("\nreports off the grid: %llu\n", static_cast<unsigned long long>(result.offGrid));
    std::printf("soak: %s\n", result.verdict.c_str());
    return result.passed ? 0 : 1;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<SoakOptions>();
    CLI::App* app = root.add_subcommand("soak", "hours of simulated time: worst errors per hour, non-finite outputs");
    describe(app, 
        "usage: orvane soak [--duration S] [--start-time BASE] [options]\n"
        "\n"
        "Runs S simulated seconds (default 24 hours) of a steady three-phase signal, peak 100,\n"
        "whose frequency wanders slowly around 50 Hz, through the 10 kHz model in\n"
        "report mode, and prints per interval the worst total vector error, frequency\n"
        "error and ROCOF error of the reports against the signal's exact phasor, the\n"
        "number of reports, the reports whose instant is off the grid of whole\n"
        "fractions of a second, and the samples with a non-finite output. Fails (exit\n"
        "1) on any non-finite output, on a whole interval after the first that misses\n"
        "reports, or when the last whole interval measures worse than the first by\n"
        "more than 10 % plus a thousandth of the class-P limits.\n");
    SoakSettings& s = o->settings;
    addNumber(app, "--duration", [&s](double v) { s.hours = v / 3600.0; },
              "simulated seconds, may be fractional (default 86400, a day)")
        ->type_name("S");
    app->add_option("--start-time", o->timeBase,
                    "the block's Time of the first sample, whole seconds: zero (default), now (seconds since\n"
                    "1970 at the start), 2e9 (the run's middle at Time = 2e9 s) or SECONDS")
        ->type_name("S");
    // Old spellings, kept for one release with a note.
    addNumber(app, "--hours", [&s](double v) {
        note("note: --hours is now --duration (in seconds); --hours will go in the next release");
        s.hours = v;
    }, "")->group("");
    app->add_option_function<std::string>("--time-base", [o](const std::string& text) {
        note("note: --time-base is now --start-time; --time-base will go in the next release");
        o->timeBase = text;
    })->group("");
    addNumber(app, "--interval", s.interval, "seconds of simulated time per row (default 3600)");
    addInteger(
        app, "--report-rate", 1, 1200, [&s](int64_t v) { s.reportRate = static_cast<int32_t>(v); },
        "requested reports per second, 1..1200 (default 50)");
    addNumber(app, "--wander", s.wander, "peak frequency deviation from 50 Hz (default 0.1)");
    addNumber(app, "--wander-period", s.wanderPeriod, "period of the wander in seconds (default 600)");
    addNumber(app, "--settle", s.settle, "seconds at the start left out of the errors (default 1)");
    o->choice.inProcess = true;
    CLI::Option* inProcess = app->add_flag("--in-process", o->choice.inProcess,
                                          "call the model's methods linked into the tool (the default here)");
    o->deliverable = app->add_option("--deliverable", o->choice.deliverablePath,
                                     "drive this deliverable through mexFunction (slower) instead")
                         ->type_name("PATH");
    o->deliverable->excludes(inProcess);
    app->add_flag_callback("--mex", [o] {
        note("note: --mex is now --deliverable PATH (the built one when PATH is empty); --mex will go in the next release");
        o->choice.inProcess = false;
    })->group("");
    return {app, [o] { return soakCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
