// orvane cast: runs the cast block (Narrow32_sf) through its mexFunction on
// each value and prints the int32 results.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "cli/driver_factory.h"
#include "cli/number_argument.h"
#include "host/cast_block_runner.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane cast [--deliverable PATH] [--] VALUE...\n"
    "\n"
    "Converts each VALUE (a double: 3.99, -1e10, nan, inf, -0.0, ...) to int32 with\n"
    "the cast block, driven through mexFunction like any deliverable: one sample\n"
    "hit of its inherited rate per value. Prints one result a line. The\n"
    "conversion truncates toward zero with no saturation: a value whose\n"
    "truncation lies outside the int32 range, and NaN, give -2147483648.\n"
    "\n"
    "options:\n"
    "  --deliverable PATH  the cast deliverable to load (default: Narrow32_sf.mexa64\n"
    "                      next to the orvane executable)\n"
    "  --                  every later argument is a value\n"
    "  --help              this text\n"
    "\n"
    "exit status: 0 done, 1 the block failed, 2 bad input or usage\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane cast: %s\n(try 'orvane cast --help')\n", message.c_str());
    return 2;
}

int castCommand(const std::vector<std::string>& args) {
    std::string path;
    std::vector<double> values;
    bool valuesOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!valuesOnly && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!valuesOnly && arg == "--") {
            valuesOnly = true;
            continue;
        }
        if (!valuesOnly && arg.rfind("--deliverable", 0) == 0) {
            if (arg.size() > 13 && arg[13] == '=') {
                path = arg.substr(14);
            } else if (arg.size() == 13 && i + 1 < args.size()) {
                path = args[++i];
            } else {
                return usageError("option '--deliverable' needs a PATH");
            }
            continue;
        }
        double value = 0.0;
        if (!parseNumberArgument(arg, value)) {
            return usageError("value " + std::to_string(values.size() + 1) + " ('" + arg + "') is not a number");
        }
        values.push_back(value);
    }
    if (values.empty()) return usageError("give at least one VALUE");
    if (path.empty()) path = builtDeliverablePath("Narrow32_sf.mexa64");

    std::string error;
    const auto deliverable = Deliverable::open(path, error);
    if (deliverable == nullptr) {
        std::fprintf(stderr, "orvane cast: %s\n", error.c_str());
        return 2;
    }
    std::vector<int32_t> results;
    if (!runCastBlock(deliverable, values, results, error)) {
        std::fprintf(stderr, "orvane cast: %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    for (int32_t result : results) std::printf("%d\n", static_cast<int>(result));
    return 0;
}

const CommandRegistration kRegistration({"cast", "convert doubles to int32 with the cast block", castCommand});

}  // namespace
