// orvane plot: output files of runs (CSV or HDF5) drawn on one page.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "plot/plot_sink.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane plot RUN.csv|RUN.h5... [--output PAGE.html]\n"
    "\n"
    "Draws the outputs of one or more runs (the CSV or HDF5 files of 'orvane run',\n"
    "every sample or reports only) as one self-contained HTML page: magnitude, angle,\n"
    "frequency and ROCOF against time on a shared time axis, the report instants\n"
    "marked, several runs overlaid in their own colours. Long runs are reduced to the\n"
    "least and greatest value of each screen column, so no spike disappears.\n"
    "\n"
    "options:\n"
    "  --output FILE   the page (default: the first file's name with .html)\n"
    "  --help          this text\n"
    "\n"
    "exit status: 0 done, 1 the page could not be written, 2 bad input or usage\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane plot: %s\n(try 'orvane plot --help')\n", message.c_str());
    return 2;
}

int plotCommand(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::string output;
    bool outputGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--output" || a.rfind("--output=", 0) == 0) {
            if (outputGiven) return usageError("option '--output' given twice");
            outputGiven = true;
            if (a == "--output") {
                if (i + 1 >= args.size()) return usageError("option '--output' needs a value");
                output = args[++i];
            } else {
                output = a.substr(9);
            }
            if (output.empty()) return usageError("option '--output' needs a file name");
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            return usageError("unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usageError("give the output file of a run (CSV or HDF5)");
    if (!outputGiven) {
        const std::string& first = files.front();
        const std::string::size_type dot = first.rfind('.');
        const std::string::size_type slash = first.rfind('/');
        const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        output = (hasExtension ? first.substr(0, dot) : first) + ".html";
    }
    std::vector<RunTrace> runs;
    for (const std::string& file : files) {
        if (file == output) return usageError("the page would overwrite its input '" + file + "'");
        std::string error;
        std::optional<RunTrace> run = loadRunTrace(file, error);
        if (!run) {
            std::fprintf(stderr, "orvane plot: %s\n", error.c_str());
            return 2;
        }
        runs.push_back(std::move(*run));
    }
    std::string error;
    if (!writeRunPage(output, runs, error)) {
        std::fprintf(stderr, "orvane plot: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

const CommandRegistration kRegistration({"plot", "draw run outputs (CSV or HDF5) as one HTML page", plotCommand});

}  // namespace
