#include "cli/output_choice.h"

#include "io/fan_out_sink.h"
#include "io/output_formats.h"
#include "plot/plot_sink.h"

const char* const kOutputChoiceHelp =
    "output formats:\n"
    "  --format NAME       csv, hdf5 or comtrade (default: by the --output extension:\n"
    "                      .h5/.hdf5 HDF5, .cfg COMTRADE of the reports, else CSV)\n"
    "  --plot FILE.html    also draw the run as one self-contained HTML page\n"
    "\n";

std::vector<OptionSpec> outputOptionSpecs() { return {{"format", true}, {"plot", true}}; }

RunDescription describeRun(const SampleRateBuild& build, const DriverChoice& driver, const std::string& input,
                           double epochOfTimeZero, const std::string& commandLine) {
    RunDescription d;
    d.model = build.modelName;
    d.build = driver.buildTag;
    d.sampleRate = build.fs;
    d.deliverable = driver.inProcess ? "in-process"
                    : driver.deliverablePath.empty()
                        ? builtDeliverablePath(std::string(build.sfunctionName) + ".mexa64")
                        : driver.deliverablePath;
    d.input = input;
    d.commandLine = commandLine;
    d.epochOfTimeZero = epochOfTimeZero;
    return d;
}

std::string commandLineOf(const std::vector<std::string>& args) {
    std::string text = "orvane run";
    for (const std::string& a : args) text += " " + a;
    return text;
}

std::unique_ptr<OutputSink> openRunOutputs(const CommandOptions& options, const std::string& path, bool reportsOnly,
                                           const RunDescription& description, std::string& error) {
    OutputRequest request{path, options.text("format"), reportsOnly, description, options.has("quality")};
    std::unique_ptr<OutputSink> main = openOutputSink(request, error);
    if (!main || !options.has("plot")) return main;
    auto page = std::make_unique<PlotSink>(options.text("plot"), description);
    if (!page->open()) {
        error = page->error();
        return nullptr;
    }
    auto both = std::make_unique<FanOutSink>();
    both->add(std::move(main));
    both->add(std::move(page));
    return both;
}
