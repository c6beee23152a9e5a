// orvane sizes: the sizes query a user makes at the MATLAB command line,
// against any deliverable file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "cli/number_argument.h"
#include "host/deliverable.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane sizes PATH [PARAM...]\n"
    "\n"
    "Loads the deliverable PATH (for example build/Orvane_10kHz_sf.mexa64) and\n"
    "calls its mexFunction as the MATLAB command line would for the sizes\n"
    "query: empty t, x and u, flag 0, then each PARAM as a 1-by-1 double block\n"
    "parameter. Prints the 40 entries of the returned sizes vector, one a line,\n"
    "as 'INDEX VALUE'. Among them: 0 continuous states, 2 output ports, 3 input\n"
    "ports, 6 sample times, 7 block parameters, 15-18 checksums, 19 SimStruct\n"
    "version, 20 non-sampled zero crossings, 23 option word, 30 generated-code\n"
    "mark, 31 sizes flags.\n"
    "\n"
    "exit status: 0 done, 1 the deliverable refused the query, 2 bad input or usage\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane sizes: %s\n(try 'orvane sizes --help')\n", message.c_str());
    return 2;
}

int sizesCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (args.empty()) return usageError("give the path of a deliverable");
    std::vector<double> params;
    for (std::size_t i = 1; i < args.size(); ++i) {
        double value = 0.0;
        if (!parseNumberArgument(args[i], value)) {
            return usageError("parameter " + std::to_string(i) + " ('" + args[i] + "') is not a number");
        }
        params.push_back(value);
    }

    std::string error;
    const auto deliverable = Deliverable::open(args[0], error);
    if (deliverable == nullptr) {
        std::fprintf(stderr, "orvane sizes: %s\n", error.c_str());
        return 2;
    }
    std::vector<double> sizes;
    if (!commandLineSizes(*deliverable, params, sizes, error)) {
        std::fprintf(stderr, "orvane sizes: %s: %s\n", deliverable->path().c_str(), error.c_str());
        return 1;
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) std::printf("%zu %.17g\n", i, sizes[i]);
    return 0;
}

const CommandRegistration kRegistration({"sizes", "print the sizes vector a deliverable answers", sizesCommand});

}  // namespace
