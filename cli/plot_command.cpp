// orvane plot: output files of runs (CSV or HDF5) drawn on one page.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "plot/plot_sink.h"

namespace {

struct PlotOptions {
    std::optional<std::string> output;
};

int plotCommand(CLI::App& app, const PlotOptions& o) {
    const std::vector<std::string> files = freeArguments(app);
    for (const std::string& file : files) {
        if (file.rfind("--", 0) == 0 && file.size() > 2) throw UsageError("unknown option '" + file + "'");
    }
    if (files.empty()) throw UsageError("give the output file of a run (CSV or HDF5)");
    const std::string output =
        o.output.value_or(std::filesystem::path(files.front()).replace_extension(".html").string());
    std::vector<RunTrace> runs;
    for (const std::string& file : files) {
        if (file == output) throw UsageError("the page would overwrite its input '" + file + "'");
        std::string error;
        std::optional<RunTrace> run = loadRunTrace(file, error);
        if (!run) return failWith(2, error);
        runs.push_back(std::move(*run));
    }
    std::string error;
    if (!writeRunPage(output, runs, error)) return failWith(1, error);
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<PlotOptions>();
    CLI::App* app = root.add_subcommand("plot", "draw run outputs (CSV or HDF5) as one HTML page");
    describe(app,
        "usage: orvane plot RUN.csv|RUN.h5... [--output PAGE.html]\n"
        "\n"
        "Draws the outputs of one or more runs (the CSV or HDF5 files of 'orvane run',\n"
        "every sample or reports only) as one self-contained HTML page: magnitude, angle,\n"
        "frequency and ROCOF against time on a shared time axis, the report instants\n"
        "marked, several runs overlaid in their own colours. Long runs are reduced to the\n"
        "least and greatest value of each screen column, so no spike disappears.\n");
    addText(app, "--output", o->output, "the page (default: the first file's name with .html)")->type_name("FILE");
    app->footer("exit status: 0 done, 1 the page could not be written, 2 bad input or usage");
    return {app, [app, o] { return plotCommand(*app, *o); }, true};
}

const CommandRegistration kRegistration(setup);

}  // namespace
