// orvane: runs the measurement deliverables without the simulation host.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_registry.h"

std::vector<Command>& commandRegistry() {
    static std::vector<Command> commands;
    return commands;
}

namespace {

void printUsage(FILE* out) {
    std::fprintf(out, "usage: orvane COMMAND [OPTIONS]\n\ncommands:\n");
    std::vector<Command> commands = commandRegistry();
    std::sort(commands.begin(), commands.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const Command& c : commands) std::fprintf(out, "  %-12s %s\n", c.name.c_str(), c.summary.c_str());
    std::fprintf(out, "\n'orvane COMMAND --help' describes each command.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : commandRegistry()) {
        if (c.name == name) return c.run(args);
    }
    std::fprintf(stderr, "orvane: unknown command '%s'\n\n", name.c_str());
    printUsage(stderr);
    return 2;
}
