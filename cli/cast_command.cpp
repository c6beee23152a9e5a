// orvane cast: runs the cast block (Narrow32_sf) through its mexFunction on
// each value and prints the int32 results.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "host/cast_block_runner.h"

namespace {

struct CastOptions {
    std::string path;
    CLI::App* app = nullptr;
};

int castCommand(const CastOptions& o) {
    // Values are taken as written, in order: "-inf" and "-0.5" are values,
    // not options; after "--" everything is.
    const std::vector<double> values = numbersOf(freeArguments(*o.app), "value", 1);
    if (values.empty()) throw UsageError("give at least one VALUE");
    const std::string path = o.path.empty() ? builtDeliverablePath("Narrow32_sf.mexa64") : o.path;
    std::string error;
    const auto deliverable = Deliverable::open(path, error);
    if (deliverable == nullptr) return failWith(2, error);
    std::vector<int32_t> results;
    if (!runCastBlock(deliverable, values, results, error)) return failWith(1, path + ": " + error);
    for (int32_t result : results) std::printf("%d\n", static_cast<int>(result));
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<CastOptions>();
    o->app = root.add_subcommand("cast", "convert doubles to int32 with the cast block");
    describe(o->app, 
        "usage: orvane cast [--deliverable PATH] [--] VALUE...\n"
        "\n"
        "Converts each VALUE (a double: 3.99, -1e10, nan, inf, -0.0, ...) to int32 with\n"
        "the cast block, driven through mexFunction like any deliverable: one sample\n"
        "hit of its inherited rate per value. Prints one result a line. The\n"
        "conversion truncates toward zero with no saturation: a value whose\n"
        "truncation lies outside the int32 range, and NaN, give -2147483648.\n"
        "'--' makes every later argument a value.\n");
    o->app->add_option("--deliverable", o->path,
                       "the cast deliverable to load (default: Narrow32_sf.mexa64 next to the orvane executable)")
        ->type_name("PATH");
    o->app->footer("exit status: 0 done, 1 the block failed, 2 bad input or usage");
    return {o->app, [o] { return castCommand(*o); }, true};
}

const CommandRegistration kRegistration(setup);

}  // namespace
