// orvane run: one input (a sample CSV file or a built-in signal) through
// one build of the measurement model, outputs to a CSV file or stdout.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "cli/built_in_signals.h"
#include "cli/c37118_output.h"
#include "cli/command_options.h"
#include "cli/command_registry.h"
#include "cli/driver_factory.h"
#include "cli/output_choice.h"
#include "io/output_formats.h"
#include "cli/progress_meter.h"
#include "cli/run_loop.h"
#include "io/csv/csv_sample_reader.h"
#include "io/distinct_files.h"
#include "io/input_watch.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane run --build 10k|14p4k|4k (--input FILE.csv | --signal NAME [signal options])\n"
    "                  [--output FILE.csv] [--reports-only] [--deliverable PATH | --in-process]\n"
    "       orvane run [--build TAG|auto] (--comtrade FILE | --input FILE.csv)... [--jobs N]\n"
    "                  [--output-dir DIR] [--phases A,B,C] [--primary | --secondary]\n"
    "\n"
    "Runs samples through the measurement model and writes one CSV row of its\n"
    "seven outputs per sample:\n"
    "  timestamp,magnitude,angle,frequency,rocof,report_strobe,active_report_rate\n"
    "\n"
    "options:\n"
    "  --build TAG         sample-rate build: 10k, 14p4k or 4k (default 10k), or auto\n"
    "                      for a file: the build at its rate, resampled if need be\n"
    "  --input FILE        sample CSV with the header\n"
    "                      time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,\n"
    "                      nominal_frequency,report_mode\n"
    "  --signal NAME       a built-in signal instead of a file (listed below)\n"
    "  --output FILE       where the outputs go (default: standard output), as CSV,\n"
    "                      or HDF5 / COMTRADE by extension or --format (below);\n"
    "                      written only when the whole run succeeds\n"
    "  --reports-only      only the rows whose report strobe is 1\n"
    "  --bridge-gaps       bridge short runs of missing samples (NaN) in the input:\n"
    "                      each takes the value one nominal period earlier\n"
    "  --quality           add a last output column 'quality': 1 where the\n"
    "                      measurement rests on bridged samples (do not use)\n"
    "  --c37118 FILE       also write the reports as IEEE C37.118.2 frames: CFG-2, then\n"
    "                      one data frame per report (magnitude as RMS = peak/sqrt(2))\n"
    "  --idcode N          IDCODE of those frames, 1..65534 (default 1)\n"
    "  --deliverable PATH  drive this deliverable instead of the build's own\n"
    "  --in-process        call the model's methods linked into the tool\n"
    "  --help              this text\n"
    "\n"
    "exit status: 0 done, 1 the model or the output failed, 2 bad input or usage\n"
    "\n";

void printUsage(FILE* out) {
    std::fputs(kUsage, out);
    std::fputs(kOutputChoiceHelp, out);
    std::fputs(kBatchRunHelp, out);
    std::fputs(signalHelp().c_str(), out);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane run: %s\n(try 'orvane run --help')\n", message.c_str());
    return 2;
}

int runCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
    }
    if (isBatchRun(args)) return runBatch(args);
    std::vector<OptionSpec> accepted = {
        {"build", true},        {"input", true},       {"signal", true},     {"output", true},
        {"reports-only", false}, {"deliverable", true}, {"in-process", false},
        {"c37118", true},       {"idcode", true},        {"bridge-gaps", false}, {"quality", false},
    };
    for (const OptionSpec& spec : signalOptionSpecs()) accepted.push_back(spec);
    for (const OptionSpec& spec : outputOptionSpecs()) accepted.push_back(spec);

    CommandOptions options;
    std::string error;
    if (!options.parse(args, accepted, error)) return usageError(error);
    if (options.has("input") == options.has("signal")) return usageError("give either --input FILE or --signal NAME");
    if (outputFormatOf(OutputRequest{options.text("output"), options.text("format"), false, {}}, error).empty()) {
        return usageError(error);
    }
    if (options.has("input")) {
        for (const OptionSpec& spec : signalOptionSpecs()) {
            if (options.has(spec.name)) return usageError("option '--" + spec.name + "' applies to --signal only");
        }
    }
    DriverChoice choice;
    if (!readDriverChoice(options, choice, error)) return usageError(error);
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return usageError("unknown build '" + choice.buildTag + "' (expected 10k, 14p4k or 4k)");

    if (!checkDistinctFiles({options.text("input")}, {options.text("output"), options.text("c37118"), options.text("plot")}, error)) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<SampleSource> source;
    CsvSampleReader* csv = nullptr;
    if (options.has("input")) {
        std::unique_ptr<CsvSampleReader> reader = CsvSampleReader::open(options.text("input"), error);
        if (reader) {
            reader->expectSampleRate(build->fs);
            if (options.has("bridge-gaps")) reader->bridgeGaps();
            csv = reader.get();
        }
        source = std::move(reader);
    } else {
        source = makeSignalSource(options.text("signal"), options, build->fs, error);
    }
    if (!source) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }

    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }
    const std::string input =
        options.has("input") ? "file " + options.text("input") : "signal " + options.text("signal");
    std::unique_ptr<OutputSink> writer =
        openRunOutputs(options, options.text("output"), options.has("reports-only"),
                       describeRun(*build, choice, input, 0.0, commandLineOf(args)), error);
    if (!writer) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<OutputSink> sinks;
    OutputSink* sink = withC37118Output(options, *build, *writer, sinks, error);
    if (sink == nullptr) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }
    if (!driver->start()) {
        std::fprintf(stderr, "orvane run: the block did not start: %s\n", driver->error().c_str());
        return 1;
    }
    if (!checkDriverRate(*driver, choice, *build, error)) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }

    ProgressMeter progress("orvane run: " + source->name());
    InputWatch watch(*source, build->fs);
    const RunOutcome outcome = runSamples(watch, *driver, *sink, &progress);
    progress.done();
    for (const std::string& warning : watch.warnings()) std::fprintf(stderr, "%s\n", warning.c_str());
    if (csv != nullptr) {
        for (const std::string& warning : {timeJumpWarning(*csv), missingRowsWarning(*csv)}) {
            if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
        }
    }
    if (outcome.exitStatus != 0) std::fprintf(stderr, "orvane run: %s\n", outcome.error.c_str());
    return outcome.exitStatus;
}

const CommandRegistration kRegistration({"run", "run samples (a CSV file or a built-in signal) through the model",
                                         runCommand});

}  // namespace
