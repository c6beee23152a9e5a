// orvane compliance: the P-class test plan through the model, beside the
// reference P-class estimator on the same signals at the same instants.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/command_registry.h"
#include "cli/driver_factory.h"
#include "compliance/html_report.h"
#include "compliance/json_report.h"
#include "compliance/plan_runner.h"
#include "compliance/progress_bar.h"
#include "compliance/table_report.h"
#include "io/output_file.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane compliance [--build 10k|14p4k|4k] [--nominal-frequency 50|60] [--report-rate N]\n"
    "                         [--estimator model|reference|both] [--quick] [--step-positions N]\n"
    "                         [--start-time S] [--json FILE] [--html FILE]\n"
    "                         [--deliverable PATH | --in-process]\n"
    "\n"
    "Runs the P-class test plan (frequency and magnitude range, harmonics,\n"
    "amplitude and phase modulation, frequency ramps, magnitude and phase steps,\n"
    "reporting latency) through the model and through the reference P-class\n"
    "estimator, and prints the worst figures beside their limits.\n"
    "\n"
    "options:\n"
    "  --build TAG               sample-rate build: 10k (default), 14p4k or 4k\n"
    "  --nominal-frequency F     50 (default) or 60 Hz\n"
    "  --report-rate N           reports per second, 1..1200 (default: 50 at 50 Hz, 60 at 60 Hz)\n"
    "  --estimator WHICH         model, reference or both (default both)\n"
    "  --quick                   a reduced plan (fewer cases, shorter steps)\n"
    "  --step-positions N        runs per step, each with the step moved within the\n"
    "                            report interval, 10..1000 (default 20)\n"
    "  --start-time S            whole second at which every signal starts (default 1000)\n"
    "  --json FILE               every figure as JSON\n"
    "  --html FILE               one self-contained page with the table and error plots\n"
    "  --deliverable PATH        drive this deliverable instead of the build's own\n"
    "  --in-process              call the model's methods linked into the tool\n"
    "  --help                    this text\n"
    "\n"
    "Exit status: 0 when the plan ran (whatever the verdict), 1 when the model\n"
    "failed, 2 on bad options or an output file that cannot be written.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane compliance: %s\n(try 'orvane compliance --help')\n", message.c_str());
    return 2;
}

bool openOutput(const CommandOptions& options, const std::string& name, OutputFile& file, std::string& error) {
    if (!options.has(name)) return true;
    const std::string path = options.text(name);
    if (path.empty() || path == "-") {
        error = "--" + name + " needs a file name (the table goes to standard output)";
        return false;
    }
    return file.open(path, error);
}

bool writeOutput(OutputFile& file, const std::string& text, std::string& error) {
    return file.write(text.data(), text.size(), error) && file.commit(error);
}

int complianceCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    const std::vector<OptionSpec> accepted = {
        {"build", true},      {"nominal-frequency", true}, {"report-rate", true}, {"estimator", true},
        {"quick", false},     {"step-positions", true},    {"start-time", true},  {"json", true},
        {"html", true},       {"deliverable", true},       {"in-process", false},
    };
    CommandOptions options;
    std::string error;
    if (!options.parse(args, accepted, error)) return usageError(error);
    DriverChoice choice;
    if (!readDriverChoice(options, choice, error)) return usageError(error);
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return usageError("unknown build '" + choice.buildTag + "' (expected 10k, 14p4k or 4k)");

    PlanSettings settings;
    settings.sampleRate = build->fs;
    settings.samplePeriod = build->ts;
    settings.quick = options.has("quick");
    int64_t nominal = 50;
    int64_t positions = settings.stepPositions;
    int64_t startTime = static_cast<int64_t>(settings.startTime);
    if (!options.integer("nominal-frequency", 50, 60, nominal, error) ||
        !options.integer("step-positions", 10, 1000, positions, error) ||
        !options.integer("start-time", 0, 1000000, startTime, error)) {
        return usageError(error);
    }
    if (nominal != 50 && nominal != 60) return usageError("option '--nominal-frequency' must be 50 or 60");
    int64_t reportRate = nominal;
    if (!options.integer("report-rate", 1, 1200, reportRate, error)) return usageError(error);
    settings.nominalFrequency = static_cast<double>(nominal);
    settings.reportRate = static_cast<int>(reportRate);
    settings.stepPositions = static_cast<int>(positions);
    settings.startTime = static_cast<double>(startTime);
    error = planSettingsError(settings);
    if (!error.empty()) return usageError(error);

    const std::string estimator = options.text("estimator", "both");
    if (estimator != "model" && estimator != "reference" && estimator != "both") {
        return usageError("option '--estimator' must be model, reference or both, not '" + estimator + "'");
    }
    const bool runModel = estimator != "reference";
    const bool runReference = estimator != "model";

    // Outputs are opened before the run: a path that cannot be written is
    // found now, not after minutes of simulation.
    OutputFile jsonFile;
    OutputFile htmlFile;
    if (!openOutput(options, "json", jsonFile, error) || !openOutput(options, "html", htmlFile, error)) {
        std::fprintf(stderr, "orvane compliance: %s\n", error.c_str());
        return 2;
    }
    // One driver up front, so that a deliverable which does not load is
    // reported before the plan starts; every case then gets a fresh one.
    if (runModel && makeDriver(choice, error) == nullptr) {
        std::fprintf(stderr, "orvane compliance: %s\n", error.c_str());
        return 2;
    }
    const DriverFactory factory = [choice](std::string& e) { return makeDriver(choice, e); };

    const TestPlan plan = makeTestPlan(settings);
    ProgressBar bar(stderr, plan.totalSamples(), isatty(STDERR_FILENO) == 1);
    const PlanProgress progress = [&bar](long long samples, const PlanCase& c) {
        bar.advance(samples, std::string(planTestName(c.test)) + " " + c.label);
    };
    PlanResult result;
    const bool ran = runPlan(plan, factory, runModel, runReference, progress, result, error);
    bar.finish();
    if (!ran) {
        std::fprintf(stderr, "orvane compliance: %s\n", error.c_str());
        return 1;
    }

    const std::string modelName = build->sfunctionName;
    writeTableReport(stdout, result, modelName);
    if (options.has("json") && !writeOutput(jsonFile, jsonReport(result, modelName), error)) {
        std::fprintf(stderr, "orvane compliance: %s\n", error.c_str());
        return 2;
    }
    if (options.has("html") && !writeOutput(htmlFile, htmlReport(result, modelName), error)) {
        std::fprintf(stderr, "orvane compliance: %s\n", error.c_str());
        return 2;
    }
    return 0;
}

const CommandRegistration kRegistration({"compliance",
                                         "the P-class test plan, beside the reference P-class estimator",
                                         complianceCommand});

}  // namespace
