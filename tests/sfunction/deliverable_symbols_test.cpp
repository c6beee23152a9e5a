// What each deliverable file shows the loader: mexFunction alone, the mx/mex
// functions left for the loading process, nothing of our host library or of
// another deliverable.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deliverables.h"

namespace {

// Standard output of a command; `ok` false when it could not run or failed.
std::string commandOutput(const std::string& command, bool& ok) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    ok = pipe != nullptr;
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ok = pclose(pipe) == 0;
    return out;
}

std::set<std::string> symbolNames(const std::string& nmOutput) {
    std::set<std::string> names;
    std::istringstream lines(nmOutput);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find_last_of(' ');
        if (!line.empty()) names.insert(space == std::string::npos ? line : line.substr(space + 1));
    }
    return names;
}

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DeliverableSymbolsTest : public testing::TestWithParam<const char*> {};

TEST_P(DeliverableSymbolsTest, ExportsMexFunctionAlone) {
    bool ok = false;
    const std::string defined = commandOutput("nm -D --defined-only '" + deliverablePath(GetParam()) + "'", ok);
    ASSERT_TRUE(ok) << "nm failed on " << deliverablePath(GetParam());
    EXPECT_EQ(symbolNames(defined), std::set<std::string>{"mexFunction"});
}

TEST_P(DeliverableSymbolsTest, TakesTheMexFunctionsFromTheLoadingProcess) {
    bool ok = false;
    const std::set<std::string> undefined =
        symbolNames(commandOutput("nm -D --undefined-only '" + deliverablePath(GetParam()) + "'", ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(undefined.count("mxGetPr"), 1u);
    EXPECT_EQ(undefined.count("mexErrMsgTxt"), 1u);
    EXPECT_EQ(undefined.count("mxCalloc"), 1u);
    const std::string needed =
        commandOutput("readelf -d '" + deliverablePath(GetParam()) + "' | grep '(NEEDED)'", ok);
    ASSERT_TRUE(ok);
    EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
    EXPECT_EQ(needed.find("orvane"), std::string::npos) << "links our host:\n" << needed;
    EXPECT_EQ(needed.find(".mexa64"), std::string::npos) << "links another deliverable:\n" << needed;
}

INSTANTIATE_TEST_SUITE_P(Deliverables, DeliverableSymbolsTest, testing::ValuesIn(kAllDeliverables),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST(MeasurementDeliverableTest, NothingReferencesTheCastBlock) {
    for (const char* name : kMeasurementDeliverables) {
        const std::string bytes = fileContents(deliverablePath(name));
        ASSERT_FALSE(bytes.empty()) << deliverablePath(name);
        EXPECT_EQ(bytes.find("Narrow32_sf"), std::string::npos) << name;
    }
}

}  // namespace
