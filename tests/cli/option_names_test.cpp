// One vocabulary for every command: an option that means the same in
// several commands is spelled the same and takes the same kind of value, and
// no retired spelling is shown.
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "cli/options.h"

namespace {

TEST(OptionNames, SharedMeaningsShareOneSpelling) {
    CLI::App root;
    std::map<std::string, const CLI::App*> apps;
    for (const auto setup : commandSetups()) {
        const Command command = setup(root);
        apps[command.app->get_name()] = command.app;
    }
    ASSERT_EQ(apps.size(), 11u);
    // Old spellings stay accepted for a release, hidden from the help.
    const std::set<std::string> retired = {"--hours", "--time-base", "--mex"};
    std::map<std::string, std::pair<std::string, std::string>> seen;  // option: command, value kind
    for (const auto& [command, app] : apps) {
        for (const CLI::Option* option : app->get_options()) {
            if (option->get_group().empty() && !option->get_name().empty()) {
                EXPECT_EQ(retired.count(option->get_name()), 1u) << command << " hides " << option->get_name();
                continue;
            }
            if (option->get_group().empty()) continue;
            EXPECT_EQ(retired.count(option->get_name()), 0u) << command << " shows " << option->get_name();
            const auto [first, fresh] = seen.insert({option->get_name(), {command, option->get_type_name()}});
            if (!fresh) {
                EXPECT_EQ(first->second.second, option->get_type_name())
                    << option->get_name() << " in " << command << " and " << first->second.first;
            }
        }
    }
    const std::map<std::string, std::set<std::string>> shared = {
        {"--duration", {"run", "serve", "soak"}},
        {"--start-time", {"run", "serve", "compliance", "soak"}},
        {"--report-rate", {"run", "serve", "demo", "compliance", "soak"}},
        {"--deliverable", {"run", "serve", "compliance", "soak", "cast"}},
        {"--in-process", {"run", "serve", "compliance", "soak"}},
        {"--build", {"run", "serve", "compliance"}},
        {"--idcode", {"run", "serve", "pdc"}},
        {"--phases", {"run", "serve", "sv-publish"}},
        {"--line-to-line", {"run", "serve", "sv-publish"}},
        {"--output", {"run", "plot"}},
        {"--signal", {"run", "serve", "sv-publish"}},
        {"--sv-id", {"run", "serve", "sv-publish"}},
        {"--appid", {"run", "serve", "sv-publish"}},
        {"--sv-channels", {"run", "serve"}},
    };
    for (const auto& [name, commands] : shared) {
        for (const std::string& command : commands) {
            EXPECT_NE(apps.at(command)->get_option_no_throw(name), nullptr) << command << " lacks " << name;
        }
    }
}

}  // namespace
