// orvane compliance refuses bad options before running anything.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and error together
};

Outcome runTool(const std::string& arguments) {
    const char* dir = std::getenv("ORVANE_BUILD_DIR");
    const std::string command = std::string(dir ? dir : "build") + "/orvane compliance " + arguments + " 2>&1";
    Outcome o{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return o;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) o.output.append(buffer, n);
    const int raw = pclose(pipe);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

TEST(ComplianceCommand, HelpDescribesEveryOption) {
    const Outcome o = runTool("--help");
    EXPECT_EQ(o.status, 0);
    for (const char* option : {"--build", "--nominal-frequency", "--report-rate", "--estimator", "--quick",
                               "--step-positions", "--start-time", "--json", "--html", "--deliverable",
                               "--in-process"}) {
        EXPECT_NE(o.output.find(option), std::string::npos) << option;
    }
}

TEST(ComplianceCommand, BadOptionsExitWithStatusTwoAndSayWhich) {
    const struct {
        const char* arguments;
        const char* mentions;
    } cases[] = {
        {"--estimator best", "--estimator"},
        {"--nominal-frequency 55", "--nominal-frequency"},
        {"--report-rate 0", "report-rate"},
        {"--step-positions 5", "step-positions"},
        {"--build 8k", "8k"},
        {"--in-process --deliverable x.mexa64", "either"},
        {"--json /nonexistent-directory/out.json --in-process", "/nonexistent-directory/out.json"},
        {"--html -", "--html"},
        {"--colour", "colour"},
    };
    for (const auto& c : cases) {
        const Outcome o = runTool(c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.output;
        EXPECT_NE(o.output.find(c.mentions), std::string::npos) << c.arguments << "\n" << o.output;
        EXPECT_EQ(o.output.find("Accuracy"), std::string::npos) << c.arguments << ": the plan ran";
    }
}

}  // namespace
