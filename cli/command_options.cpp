#include "cli/command_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

const OptionSpec* findSpec(const std::vector<OptionSpec>& accepted, const std::string& name) {
    for (const OptionSpec& spec : accepted) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool parseFiniteNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

}  // namespace

bool CommandOptions::parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& accepted,
                           std::string& error) {
    values_.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        const std::string::size_type equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionSpec* spec = findSpec(accepted, name);
        if (spec == nullptr) {
            error = "unknown option '--" + name + "'";
            return false;
        }
        if (values_.count(name) != 0) {
            error = "option '--" + name + "' given twice";
            return false;
        }
        std::string value;
        if (spec->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = "option '--" + name + "' needs a value";
                return false;
            }
        } else if (equals != std::string::npos) {
            error = "option '--" + name + "' takes no value";
            return false;
        }
        values_[name] = value;
    }
    return true;
}

std::string CommandOptions::text(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

bool CommandOptions::number(const std::string& name, double& value, std::string& error) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return true;
    if (parseFiniteNumber(found->second, value)) return true;
    error = "option '--" + name + "': '" + found->second + "' is not a finite number";
    return false;
}

bool CommandOptions::integer(const std::string& name, int64_t low, int64_t high, int64_t& value,
                             std::string& error) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return true;
    const std::string& text = found->second;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || parsed < low || parsed > high) {
        error = "option '--" + name + "': '" + text + "' is not an integer from " + std::to_string(low) + " to " +
                std::to_string(high);
        return false;
    }
    value = parsed;
    return true;
}

bool CommandOptions::numbers(const std::string& name, size_t count, double* values, std::string& error) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return true;
    const std::string& text = found->second;
    std::vector<double> parsed;
    std::string::size_type start = 0;
    while (true) {
        const std::string::size_type comma = text.find(',', start);
        double value = 0.0;
        if (!parseFiniteNumber(text.substr(start, comma - start), value)) break;
        parsed.push_back(value);
        if (comma == std::string::npos) {
            if (parsed.size() == count) {
                for (size_t i = 0; i < count; ++i) values[i] = parsed[i];
                return true;
            }
            break;
        }
        start = comma + 1;
    }
    error = "option '--" + name + "': '" + text + "' is not " + std::to_string(count) +
            " comma-separated finite numbers";
    return false;
}
