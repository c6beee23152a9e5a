// The orvane tool's subcommands. Each command file registers itself with a
// static CommandRegistration; main dispatches on the first argument.
#ifndef ORVANE_CLI_COMMAND_REGISTRY_H
#define ORVANE_CLI_COMMAND_REGISTRY_H

#include <string>
#include <vector>

struct Command {
    std::string name;
    std::string summary;  // one line for the tool's --help
    // Receives the arguments after the command name; returns the exit status
    // (0 success, 1 run-time failure, 2 bad input or usage).
    int (*run)(const std::vector<std::string>& args);
};

std::vector<Command>& commandRegistry();

struct CommandRegistration {
    explicit CommandRegistration(Command command) { commandRegistry().push_back(std::move(command)); }
};

#endif  // ORVANE_CLI_COMMAND_REGISTRY_H
