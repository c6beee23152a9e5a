// Command-line options of the tool's commands: "--name VALUE",
// "--name=VALUE" and flags "--name", checked against the options a command
// accepts, with typed reads that say which option was wrong and why.
#ifndef ORVANE_CLI_COMMAND_OPTIONS_H
#define ORVANE_CLI_COMMAND_OPTIONS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct OptionSpec {
    std::string name;  // without the leading "--"
    bool takesValue;
};

class CommandOptions {
public:
    // False, with `error` set, on an unknown option, a missing value, a
    // value given to a flag, an option given twice or a stray argument.
    bool parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& accepted, std::string& error);

    bool has(const std::string& name) const { return values_.count(name) != 0; }
    // The value, or `fallback` when the option is absent.
    std::string text(const std::string& name, const std::string& fallback = "") const;
    // Each leaves `value` unchanged when the option is absent and returns
    // false, with `error` set, when the value does not parse.
    bool number(const std::string& name, double& value, std::string& error) const;
    bool integer(const std::string& name, int64_t low, int64_t high, int64_t& value, std::string& error) const;
    // A comma-separated list of exactly `count` numbers.
    bool numbers(const std::string& name, size_t count, double* values, std::string& error) const;

private:
    std::map<std::string, std::string> values_;
};

#endif  // ORVANE_CLI_COMMAND_OPTIONS_H
