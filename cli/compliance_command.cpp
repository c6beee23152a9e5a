// orvane compliance: the P-class test plan through the model, beside the
// reference P-class estimator on the same signals at the same instants.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "compliance/html_report.h"
#include "compliance/json_report.h"
#include "compliance/plan_runner.h"
#include "compliance/table_report.h"
#include "io/reporting_capacity.h"
#include "io/output_file.h"
#include "stream/sv_through.h"

namespace {

// The plan ran and the model failed a limit: distinct from a run that could
// not be made (1) and from bad usage (2), for scripts and CI.
constexpr int kFailedStatus = 3;

struct ComplianceOptions {
    DriverChoice choice;
    PlanSettings settings;
    std::optional<int64_t> reportRate;
    std::string estimator = "both";
    std::optional<std::string> json;
    std::optional<std::string> html;
    std::optional<std::string> through;
    std::optional<int64_t> svRate;
    SvPublisherOptions faults;
    std::optional<int64_t> faultSeed;
    std::vector<CLI::Option*> svOnly;  // given only with --through sv
};

std::string fractionText(double f) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", f);
    return text;
}

// The road's settings and effects for the reports, after the plan ran.
void describeRoad(const SvThroughRoad& road, const SampleRateBuild& build, PlanResult& result) {
    const SvPublisherOptions& mu = road.settings().publisher;
    const SvThroughCounts& c = road.counts();
    const bool resampled = static_cast<double>(mu.rate) != build.fs;
    result.road = "sv";
    result.roadResamples = resampled;
    result.roadSampleRate = static_cast<double>(mu.rate);
    const std::string rate = std::to_string(mu.rate);
    const std::string buildRate = fractionText(build.fs);
    result.roadSettings = {
        {"svRate", rate + " Hz"},
        {"asdusPerFrame", std::to_string(mu.asdusPerFrame)},
        {"quantisation", "10 mV per count on UA, UB, UC"},
        {"buildRate", buildRate + " Hz"},
        {"resampling", resampled ? rate + " -> " + buildRate + " Hz, live setting" : std::string("none")},
        {"frames", "C37.118.2 data frames, float32 polar phasor (RMS), TIME_BASE 1000000"},
        {"lose", fractionText(mu.loseFraction)},
        {"duplicate", fractionText(mu.duplicateFraction)},
        {"reorder", fractionText(mu.reorderFraction)},
        {"faultSeed", std::to_string(mu.seed)},
        {"svFramesSent", std::to_string(c.published.framesWritten)},
        {"svFramesLost", std::to_string(c.published.framesLost)},
        {"svFramesDuplicated", std::to_string(c.published.framesDuplicated)},
        {"svFramesReordered", std::to_string(c.published.framesReordered)},
        {"samplesBridged", std::to_string(c.bridged)},
        {"blockRestarts", std::to_string(c.restarts)},
        {"dataFrames", std::to_string(c.frames)},
        {"dataFramesFlagged", std::to_string(c.flaggedFrames)},
    };
    result.roadEffects = {"9-2LE quantisation to 10 mV counts (at most half a count, 5e-5 of the 100 V peak, per "
                          "sample)"};
    if (resampled) {
        result.roadEffects.push_back("resampling " + rate + " -> " + buildRate +
                                     " Hz (live setting: pass band to a quarter of the lower rate)");
    }
    if (c.published.framesLost + c.published.framesDuplicated + c.published.framesReordered > 0) {
        result.roadEffects.push_back(std::to_string(c.published.framesLost) + " sampled-values frames lost, " +
                                     std::to_string(c.published.framesDuplicated) + " duplicated, " +
                                     std::to_string(c.published.framesReordered) + " reordered; " +
                                     std::to_string(c.bridged) + " samples bridged");
    }
}

bool openOutput(const std::optional<std::string>& path, const char* option, OutputFile& file, std::string& error) {
    if (!path) return true;
    if (path->empty() || *path == "-") {
        throw UsageError(std::string(option) + " needs a file name (the table goes to standard output)");
    }
    return file.open(*path, error);
}

int complianceCommand(ComplianceOptions& o) {
    const SampleRateBuild* build = buildByTag(o.choice.buildTag);
    PlanSettings& settings = o.settings;
    if (settings.nominalFrequency != 50.0 && settings.nominalFrequency != 60.0) {
        throw UsageError("option '--nominal-frequency' must be 50 or 60");
    }
    settings.sampleRate = build->fs;
    settings.samplePeriod = build->ts;
    settings.reportRate = static_cast<int>(o.reportRate.value_or(static_cast<int64_t>(settings.nominalFrequency)));
    std::string error = planSettingsError(settings);
    if (!error.empty()) throw UsageError(error);
    // Beyond the build's reporting capacity the plan still runs: it measures
    // the block as it is, and its failed rows are the finding; the note
    // says why before the minutes of simulation.
    const std::string beyond = reportingCapacityProblem(build->fs, settings.reportRate);
    if (!beyond.empty()) note("warning: " + beyond + "; the plan runs and will fail for it");
    const std::string caution = reportingCapacityCaution(build->fs, settings.reportRate);
    if (!caution.empty()) note("warning: " + caution);
    const bool runModel = o.estimator != "reference";
    const bool runReference = o.estimator != "model";
    const bool throughSv = o.through.has_value();
    if (throughSv && *o.through != "sv") {
        throw UsageError("option '--through' must be sv, not '" + *o.through + "'");
    }
    if (throughSv && !runModel) throw UsageError("option '--through sv' measures the model: not with '--estimator reference'");
    if (!throughSv) refuseGiven(o.svOnly, "'--through sv'");
    std::unique_ptr<SvThroughRoad> road;
    InstrumentRoad instrument;
    if (throughSv) {
        SvThroughSettings sv;
        sv.buildTag = o.choice.buildTag;
        sv.modelName = build->sfunctionName;
        sv.nominalFrequency = settings.nominalFrequency;
        sv.reportRate = settings.reportRate;
        sv.publisher = o.faults;
        sv.publisher.rate = static_cast<uint32_t>(o.svRate.value_or(defaultSvRate(settings.nominalFrequency)));
        sv.publisher.seed = static_cast<uint64_t>(o.faultSeed.value_or(1));
        if (!SvPublisher::check(sv.publisher, error)) throw UsageError(error);
        road = std::make_unique<SvThroughRoad>(sv);
        SvThroughRoad* r = road.get();
        instrument = [r](const ThreePhaseSignalParameters& signal, double start, double end, BlockDriver& driver,
                         const InstrumentFrame& received, std::string& e) {
            return r->run(signal, start, end, driver, received, e);
        };
    }

    // Outputs are opened before the run: a path that cannot be written is
    // found now, not after minutes of simulation.
    OutputFile jsonFile;
    OutputFile htmlFile;
    if (!openOutput(o.json, "--json", jsonFile, error) || !openOutput(o.html, "--html", htmlFile, error)) {
        return failWith(2, error);
    }
    // One driver up front, so that a deliverable which does not load is
    // reported before the plan starts; every case then gets a fresh one.
    if (runModel && makeDriver(o.choice, error) == nullptr) return failWith(2, error);
    const DriverChoice choice = o.choice;
    const DriverFactory factory = [choice](std::string& e) { return makeDriver(choice, e); };

    const TestPlan plan = makeTestPlan(settings);
    ProgressDisplay display(commandName());
    long long done = 0;
    const double total = static_cast<double>(plan.totalSamples());
    const PlanProgress progress = [&](long long samples, const PlanCase& c) {
        done += samples;
        display.update(static_cast<uint64_t>(done), static_cast<double>(done) / total,
                       std::string(planTestName(c.test)) + " " + c.label);
    };
    PlanResult result;
    const bool ran = runPlan(plan, factory, runModel, runReference, progress, result, error, instrument);
    display.clear();
    if (!ran) return failWith(1, error);
    if (road) describeRoad(*road, *build, result);

    const std::string modelName = build->sfunctionName;
    writeTableReport(stdout, result, modelName);
    if (o.json && !jsonFile.writeAll(jsonReport(result, modelName), error)) return failWith(2, error);
    if (o.html && !htmlFile.writeAll(htmlReport(result, modelName), error)) return failWith(2, error);
    // The verdict is the model's (on both roads when it went through the
    // instrument too); the reference estimator's only when it ran alone.
    const bool passed = estimatorPassed(result.summary, runModel ? Estimator::Model : Estimator::Reference) &&
                        (!throughSv || estimatorPassed(result.summary, Estimator::Instrument));
    return passed ? 0 : kFailedStatus;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<ComplianceOptions>();
    CLI::App* app = root.add_subcommand("compliance", "the P-class test plan, beside the reference P-class estimator");
    describe(app, 
        "usage: orvane compliance [--build 10k|14p4k|4k] [--nominal-frequency 50|60] [--report-rate N]\n"
        "                         [--estimator model|reference|both] [--quick] [--step-positions N]\n"
        "                         [--start-time S] [--json FILE] [--html FILE]\n"
        "                         [--deliverable PATH | --in-process]\n"
        "                         [--through sv [--sv-rate N] [--lose F] [--duplicate F] [--reorder F]\n"
        "                          [--fault-seed N]]\n"
        "\n"
        "Runs the P-class test plan (frequency and magnitude range, harmonics,\n"
        "amplitude and phase modulation, frequency ramps, magnitude and phase steps,\n"
        "reporting latency) through the model and through the reference P-class\n"
        "estimator, and prints the worst figures beside their limits.\n"
        "\n"
        "With --through sv the model is also measured as a box, offline: each signal\n"
        "is quantised and framed as 9-2LE sampled values (UA UB UC, 10 mV per count),\n"
        "taken in by the live PMU's road (continuity, gap bridging, resampling to the\n"
        "build's rate, the block, STAT), sent as C37.118.2 data frames and decoded by\n"
        "the PDC's code; its rows ('instrument') are judged from the decoded frames,\n"
        "reports flagged \"do not use\" counted and kept out of the figures, and a\n"
        "table sets its worst figures beside the block's.\n");
    addRoadOptions(app, o->choice, false);
    PlanSettings& s = o->settings;
    addInteger(app, "--nominal-frequency", 50, 60, [&s](int64_t hz) { s.nominalFrequency = static_cast<double>(hz); },
               "50 (default) or 60 Hz")
        ->type_name("HZ");
    addInteger(app, "--report-rate", 1, 1200, o->reportRate,
               "reports per second, 1..1200 (default: 50 at 50 Hz, 60 at 60 Hz); beyond the build's reporting "
               "capacity (the 4k build: 999) a warning, and the plan fails");
    app->add_option_function<std::string>(
           "--estimator",
           [o](const std::string& which) {
               if (which != "model" && which != "reference" && which != "both") {
                   throw CLI::ValidationError("option '--estimator' must be model, reference or both, not '" +
                                              which + "'");
               }
               o->estimator = which;
           },
           "model, reference or both (default both)")
        ->type_name("WHICH");
    app->add_flag("--quick", s.quick, "a reduced plan (fewer cases, shorter steps)");
    addInteger(app, "--step-positions", 10, 1000, [&s](int64_t n) { s.stepPositions = static_cast<int>(n); },
               "runs per step, each with the step moved within the report interval, 10..1000 (default 20)");
    addInteger(app, "--start-time", 0, 1000000, [&s](int64_t t) { s.startTime = static_cast<double>(t); },
               "whole second at which every signal starts (default 1000)")
        ->type_name("S");
    addText(app, "--through", o->through,
            "sv: measure the model also through the whole instrument (sampled values in, C37.118.2 out), offline")
        ->type_name("ROAD");
    const std::string sv = "Through sampled values (with --through sv)";
    o->svOnly.push_back(addInteger(app, "--sv-rate", 1, 65535, o->svRate,
                                   "samples per second of the merging unit (default 4000 at 50 Hz, 4800 at 60 Hz)")
                            ->group(sv));
    o->svOnly.push_back(addFraction(app, "--lose", o->faults.loseFraction, "fraction of sampled-values frames lost")
                            ->group(sv));
    o->svOnly.push_back(addFraction(app, "--duplicate", o->faults.duplicateFraction,
                                    "fraction of sampled-values frames sent twice")
                            ->group(sv));
    o->svOnly.push_back(addFraction(app, "--reorder", o->faults.reorderFraction,
                                    "fraction of sampled-values frames sent after the next one")
                            ->group(sv));
    o->svOnly.push_back(
        addInteger(app, "--fault-seed", 0, INT64_MAX, o->faultSeed, "seed of the fault draw (default 1)")->group(sv));
    addText(app, "--json", o->json, "every figure as JSON")->type_name("FILE");
    addText(app, "--html", o->html, "one self-contained page with the table and error plots")->type_name("FILE");
    app->footer(
        "Exit status: 0 the plan ran and the model passed every limit (through the\n"
        "instrument too with --through sv), 3 it failed one (the reference\n"
        "estimator's verdict when it runs alone), 1 the model could not be run,\n"
        "2 bad options or an output file that cannot be written.");
    return {app, [o] { return complianceCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
