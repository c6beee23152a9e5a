// Every usage error the tool gives is said in its own words: exit status 2,
// one line that names the command, and none of the parser library's own
// phrasing ("At Most 1 required but received 2", "PATH Excludes: ...",
// "Value x not in range 0.100000 to 86400.000000"). The cases are drawn
// from every command's declared options, plus the rough texts users met.
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "tests/support/tool_process.h"

namespace {

const char* const kLibraryPhrases[] = {
    "required but received", "Excludes", " excludes ", "is required", "Requires", "Could not convert",
    "not in range", "Expected exactly", "Expected at least", "disallowed flag override", "Should be true/false",
    "too many inputs", "not an allowed value", "was not readable", "is no directory", "000000",
    "The following argument",
};

struct Outcome {
    int status;
    std::string err;
};

Outcome runBounded(const std::string& arguments, const ScratchDirectory& scratch) {
    const std::string err = scratch.file("err.txt");
    // Bounded: a case that the parser let through must not run for long.
    const std::string command = "cd '" + scratch.path().string() + "' && timeout 20 '" +
                                std::filesystem::absolute(toolPath()).string() + "' " + arguments +
                                " </dev/null >/dev/null 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readWholeFile(err)};
}

void expectOwnWords(const std::string& command, const std::string& arguments, const Outcome& o,
                    const std::string& mustSay = "") {
    EXPECT_EQ(o.status, 2) << arguments << ": " << o.err;
    EXPECT_EQ(o.err.rfind("orvane " + command + ": ", 0), 0u) << arguments << ": " << o.err;
    for (const char* phrase : kLibraryPhrases) {
        EXPECT_EQ(o.err.find(phrase), std::string::npos) << arguments << " says '" << phrase << "': " << o.err;
    }
    if (!mustSay.empty()) {
        EXPECT_NE(o.err.find(mustSay), std::string::npos) << arguments << ": " << o.err;
    }
}

TEST(UsageMessages, EveryCommandsOptionErrorsAreInTheToolsWords) {
    ScratchDirectory scratch("usage");
    CLI::App root;
    std::vector<Command> commands;
    for (const auto setup : commandSetups()) commands.push_back(setup(root));
    int cases = 0;
    for (const Command& c : commands) {
        const std::string name = c.app->get_name();
        // cast and sizes take their values free (-inf as written): an
        // unknown option is one of those values to them.
        expectOwnWords(name, name + " --no-such-option", runBounded(name + " --no-such-option", scratch),
                       c.takesArguments ? "" : "unknown option");
        ++cases;
        for (const CLI::Option* option : c.app->get_options()) {
            if (option->get_lnames().empty() || option->get_expected_min() < 1) continue;  // flags, --help
            const std::string flag = "--" + option->get_lnames()[0];
            // Without its value, at the end of the line.
            expectOwnWords(name, name + " " + flag, runBounded(name + " " + flag, scratch));
            ++cases;
            // Twice, where it takes one value.
            if (option->get_multi_option_policy() != CLI::MultiOptionPolicy::Throw ||
                option->get_expected_max() != 1) {
                continue;
            }
            const std::string twice = name + " " + flag + " 1 " + flag + " 1";
            expectOwnWords(name, twice, runBounded(twice, scratch), "give it once");
            ++cases;
        }
    }
    EXPECT_GT(cases, 100);
}

TEST(UsageMessages, TheRoughTextsUsersMetAreRewritten) {
    ScratchDirectory scratch("rough");
    // A capture and an HDF5 file where a sample CSV belongs.
    const std::string pcap = std::string("\xd4\xc3\xb2\xa1\x02\x00\x04\x00", 8) + std::string(16, '\0');
    std::ofstream(scratch.file("capture.pcap"), std::ios::binary) << pcap;
    std::ofstream(scratch.file("run.h5"), std::ios::binary) << std::string("\x89HDF\r\n\x1a\n", 8) << std::string(8, '\0');
    std::ofstream(scratch.file("a-file")) << "x\n";
    struct Case {
        std::string command, arguments, mustSay;
    };
    const Case cases[] = {
        {"run", "--signal steady --output a.csv --output b.csv", "option '--output' is given 2 times"},
        {"run", "--deliverable x.mexa64 --in-process --signal steady", "give either --deliverable or --in-process"},
        {"run", "--jobs 2 --output-dir missing --input a.csv", "does not exist"},
        {"run", "--jobs 2 --output-dir a-file --input a.csv", "is a file, not a folder"},
        {"serve", "--signal steady --config-interval 0.01", "must lie in 0.1..86400 s"},
        {"run", "--in-process --signal steady --start-time -1e12", "outside the block's time range -2e9..2e9 s"},
        {"run", "--in-process --input capture.pcap", "a pcap capture, not a text file (read its sampled values with --sv-pcap"},
        {"run", "--in-process --input run.h5", "an HDF5 file, not a text file"},
        {"sv-list", "missing.pcap", "cannot open capture file 'missing.pcap': no such file"},
    };
    for (const Case& c : cases) {
        const Outcome o = runBounded(c.command + " " + c.arguments, scratch);
        expectOwnWords(c.command, c.arguments, o, c.mustSay);
        // Not the file's bytes: the message is one printable line.
        for (char ch : o.err) {
            EXPECT_TRUE(ch == '\n' || (ch >= 0x20 && ch < 0x7f)) << c.arguments;
        }
    }
}

}  // namespace
