// orvane: runs the measurement deliverables without the simulation host.
// Every command declares its options on a CLI11 subcommand; this file reads
// the command line once, answers --help and --version, and turns every
// usage error into one line and exit status 2.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "cli/completion.h"
#include "cli/options.h"
#include "stream/stop_request.h"

namespace {

// Help as a command's own text: its usage and description first, then the
// generated option table, then its footer.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        return app->get_parent() == nullptr ? CLI::Formatter::make_usage(app, name) : "";
    }
    std::string make_description(const CLI::App* app) const override {
        const std::string text = descriptionOf(app);
        return text.empty() ? "" : text + "\n";
    }
};

// Edit distance, for "did you mean".
std::size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// What was not understood, said as one line with the nearest option.
std::string describeExtras(const CLI::App& app, const std::vector<std::string>& extras) {
    const std::string& first = extras.front();
    if (first.rfind("-", 0) != 0 || first.size() == 1) return "unexpected argument '" + first + "'";
    const std::string name = first.substr(0, first.find('='));
    std::string message = "unknown option '" + name + "'";
    std::string best;
    std::size_t bestDistance = 3;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& known : option->get_lnames()) {
            const std::size_t d = distance(name, "--" + known);
            if (d < bestDistance) {
                bestDistance = d;
                best = "--" + known;
            }
        }
    }
    if (!best.empty()) message += " (did you mean '" + best + "'?)";
    return message;
}

// `name` as the user typed it: CLI11 names an option by its type name
// (PATH) in some messages; the command's option of that type name is meant.
std::string optionName(const CLI::App* app, std::string name) {
    while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
    if (name.rfind("-", 0) == 0 || app == nullptr) return name;
    for (const CLI::Option* option : app->get_options()) {
        if (option->get_type_name() == name && !option->get_lnames().empty()) return "--" + option->get_lnames()[0];
    }
    return name;
}

std::string numberText(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return text;
    char shown[32];
    std::snprintf(shown, sizeof shown, "%g", value);
    return shown;
}

// CLI11's own messages said in the tool's words: what was wrong with which
// option, and what to give instead. Our own option checks already speak
// for themselves and pass through.
std::string describeError(const CLI::ParseError& e, const CLI::App* app) {
    const std::string message = e.what();
    const std::string kind = e.get_name();
    std::smatch m;
    if (kind == "ExcludesError" &&
        std::regex_match(message, m, std::regex(R"((\S+) [Ee]xcludes:? (\S+))"))) {
        return "give either " + optionName(app, m[1]) + " or " + optionName(app, m[2]) + ", not both";
    }
    if (kind == "RequiresError" && std::regex_match(message, m, std::regex(R"((\S+) [Rr]equires:? (\S+))"))) {
        return "option '" + optionName(app, m[1]) + "' needs " + optionName(app, m[2]) + " as well";
    }
    if (kind == "RequiredError") {
        if (message.find("subcommand") != std::string::npos) return "give a command";
        if (std::regex_match(message, m, std::regex(R"((\S+) is required)"))) return "give " + optionName(app, m[1]);
        return "an option is missing; see --help";
    }
    if (kind == "ArgumentMismatch") {
        if (std::regex_match(message, m, std::regex(R"((\S*): At Most (\d+) required but received (\d+))"))) {
            std::string name = optionName(app, m[1]);
            // A hidden option is named by nothing: the one given too often.
            for (const CLI::Option* option : app->get_options()) {
                if (name.empty() && option->count() > 1 && !option->get_lnames().empty()) {
                    name = "--" + option->get_lnames()[0];
                }
            }
            if (m[2] == "1") return "option '" + name + "' is given " + m[3].str() + " times; give it once";
            return "option '" + name + "' takes at most " + m[2].str() + " values, not " + m[3].str();
        }
        if (std::regex_match(message, m, std::regex(R"((\S+): At least (\d+) required but received (\d+))")) ||
            std::regex_match(message, m, std::regex(R"((\S+): (\d+) required .* missing)"))) {
            return "option '" + optionName(app, m[1]) + "' needs a value";
        }
        if (std::regex_match(message, m, std::regex(R"(Expected (?:exactly|at least) (\d+) arguments? to (\S+).*)"))) {
            return "option '" + optionName(app, m[2]) + "' needs " + m[1].str() + " value" +
                   (m[1] == "1" ? "" : "s");
        }
        if (std::regex_match(message, m, std::regex(R"((\S+) was given a disallowed flag override)"))) {
            return "option '" + optionName(app, m[1]) + "' takes no value";
        }
    }
    if (kind == "ConversionError") {
        if (std::regex_match(message, m, std::regex(R"((\S+): (?:too many inputs for a flag|Should be true/false or a number))"))) {
            return "option '" + optionName(app, m[1]) + "' takes no value";
        }
        if (std::regex_match(message, m, std::regex(R"(Could not convert: (\S+) = (.*))"))) {
            return "option '" + optionName(app, m[1]) + "': '" + m[2].str() + "' is not a value it takes";
        }
        if (std::regex_match(message, m, std::regex(R"(The value (.*) is not an allowed value for (\S+))"))) {
            return "option '" + optionName(app, m[2]) + "': '" + m[1].str() + "' is not a value it takes";
        }
    }
    if (kind == "ValidationError" &&
        std::regex_match(message, m, std::regex(R"((\S+): Value (.*) not in range (\S+) to (\S+))"))) {
        return "option '" + optionName(app, m[1]) + "': '" + m[2].str() + "' is not a number in " + numberText(m[3]) +
               ".." + numberText(m[4]);
    }
    if (kind == "FileError" && std::regex_match(message, m, std::regex(R"((.*) was not readable \(missing\?\))"))) {
        return "cannot read '" + m[1].str() + "'";
    }
    return message;
}

int usageError(const std::string& message) {
    const std::string& name = commandName();
    std::fprintf(stderr, "%s: %s (try '%s --help')\n", name.c_str(), message.c_str(), name.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any output is opened: a signal never leaves a partial file.
    installStopHandling();
    // "orvane help" as the tool has always taken it.
    char helpFlag[] = "--help";
    if (argc == 2 && std::string(argv[1]) == "help") argv[1] = helpFlag;
    CLI::App root{"Runs the Orvane measurement deliverables without the simulation host.", "orvane"};
    root.formatter(std::make_shared<HelpFormatter>());
    root.set_version_flag("--version", ORVANE_VERSION, "the tool's version");
    root.require_subcommand(1);
    std::vector<Command> commands;
    for (const auto setup : commandSetups()) commands.push_back(setup(root));
    root.footer("'orvane COMMAND --help' describes each command.");
    // Extras are collected, not refused by the parser, so that the message
    // can name the nearest option, and so that cast and sizes can take
    // values such as -inf as written.
    root.allow_extras();
    for (const Command& c : commands) c.app->allow_extras();
    // Hidden: the bash completion script, written from these tables when
    // the package is built (share/bash-completion/completions/orvane).
    if (argc == 3 && std::string(argv[1]) == "--completion") {
        if (std::string(argv[2]) != "bash") return usageError("--completion: only 'bash' is written");
        std::fputs(bashCompletion(root, commands).c_str(), stdout);
        return 0;
    }

    // Named before parsing, so that notes given while options are read
    // already say which command they belong to.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        for (const Command& c : commands) {
            if (c.app->get_name() == argv[i]) setCommandName("orvane " + c.app->get_name());
        }
        break;
    }
    std::string line = "orvane";
    for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
    setCommandLine(line);
    const CLI::App* chosen = nullptr;
    try {
        root.parse(argc, argv);
        for (const Command& c : commands) {
            if (c.app->parsed()) chosen = c.app;
        }
        if (chosen != nullptr) setCommandName("orvane " + chosen->get_name());
        for (const Command& c : commands) {
            if (c.app != chosen) continue;
            std::vector<std::string> extras = c.app->remaining();
            for (const std::string& extra : root.remaining()) extras.push_back(extra);
            if (!extras.empty() && !c.takesArguments) return usageError(describeExtras(*c.app, extras));
            return c.run();
        }
        return usageError("give a command");
    } catch (const CLI::CallForHelp&) {
        for (const Command& c : commands) {
            if (c.app->parsed()) {
                std::fputs(c.app->help().c_str(), stdout);
                return 0;
            }
        }
        std::fputs(root.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::printf("orvane %s\n", ORVANE_VERSION);
        return 0;
    } catch (const CLI::ParseError& e) {
        for (const Command& c : commands) {
            if (c.app->parsed()) setCommandName("orvane " + c.app->get_name());
        }
        if (commandName() == "orvane" && !root.remaining().empty()) {
            return usageError("unknown command '" + root.remaining().front() + "'");
        }
        const CLI::App* parsed = &root;
        for (const Command& c : commands) {
            if (c.app->parsed()) parsed = c.app;
        }
        return usageError(describeError(e, parsed));
    } catch (const UsageError& e) {
        return usageError(e.what());
    }
}
