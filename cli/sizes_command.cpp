// orvane sizes: the sizes query a user makes at the MATLAB command line,
// against any deliverable file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "host/deliverable.h"

namespace {

int sizesCommand(CLI::App& app) {
    const std::vector<std::string> args = freeArguments(app);
    if (args.empty()) throw UsageError("give the path of a deliverable");
    const std::vector<double> params = numbersOf({args.begin() + 1, args.end()}, "parameter", 1);
    std::string error;
    const auto deliverable = Deliverable::open(args[0], error);
    if (deliverable == nullptr) return failWith(2, error);
    std::vector<double> sizes;
    if (!commandLineSizes(*deliverable, params, sizes, error)) return failWith(1, deliverable->path() + ": " + error);
    for (std::size_t i = 0; i < sizes.size(); ++i) std::printf("%zu %.17g\n", i, sizes[i]);
    return 0;
}

Command setup(CLI::App& root) {
    CLI::App* app = root.add_subcommand("sizes", "print the sizes vector a deliverable answers");
    describe(app, 
        "usage: orvane sizes PATH [PARAM...]\n"
        "\n"
        "Loads the deliverable PATH (for example build/Orvane_10kHz_sf.mexa64) and\n"
        "calls its mexFunction as the MATLAB command line would for the sizes\n"
        "query: empty t, x and u, flag 0, then each PARAM as a 1-by-1 double block\n"
        "parameter. Prints the 40 entries of the returned sizes vector, one a line,\n"
        "as 'INDEX VALUE'. Among them: 0 continuous states, 2 output ports, 3 input\n"
        "ports, 6 sample times, 7 block parameters, 15-18 checksums, 19 SimStruct\n"
        "version, 20 non-sampled zero crossings, 23 option word, 30 generated-code\n"
        "mark, 31 sizes flags.\n");
    app->footer("exit status: 0 done, 1 the deliverable refused the query, 2 bad input or usage");
    return {app, [app] { return sizesCommand(*app); }, true};
}

const CommandRegistration kRegistration(setup);

}  // namespace
