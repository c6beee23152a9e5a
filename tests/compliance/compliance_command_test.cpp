// orvane compliance refuses bad options before running anything, and
// measures the model through the whole instrument as it does the block.
#include <cmath>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/tool_process.h"

namespace {

TEST(ComplianceCommand, HelpDescribesEveryOption) {
    const ToolResult o = runTool("compliance --help");
    EXPECT_EQ(o.status, 0);
    for (const char* option : {"--build", "--nominal-frequency", "--report-rate", "--estimator", "--quick",
                               "--step-positions", "--start-time", "--json", "--html", "--deliverable",
                               "--in-process", "--through", "--sv-rate", "--lose", "--duplicate", "--reorder",
                               "--fault-seed"}) {
        EXPECT_NE(o.all().find(option), std::string::npos) << option;
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
        {"--through tcp", "--through"},
        {"--sv-rate 4000", "--sv-rate"},
        {"--through sv --lose 1.5", "--lose"},
        {"--through sv --lose 0.6 --reorder 0.6", "add up"},
        {"--through sv --estimator reference", "--estimator reference"},
    };
    for (const auto& c : cases) {
        const ToolResult o = runTool(std::string("compliance ") + c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.all();
        EXPECT_NE(o.all().find(c.mentions), std::string::npos) << c.arguments << "\n" << o.all();
        EXPECT_EQ(o.all().find("Accuracy"), std::string::npos) << c.arguments << ": the plan ran";
    }
}

// A plan that ran and failed a limit says so in its exit status: the
// reference estimator alone at 4 kHz and 60 Hz, whose rounded filter order
// fails the ROCOF limit under high harmonics.
TEST(ComplianceCommand, AFailedLimitExitsWithStatusThree) {
    const ToolResult o = runTool("compliance --build 4k --nominal-frequency 60 --estimator reference --quick");
    EXPECT_EQ(o.status, 3) << o.all();
    EXPECT_NE(o.out.find("FAIL"), std::string::npos) << o.out;
}

// The quick plan through sampled values in and C37.118.2 out (4 kHz build,
// 4000 Hz stream: no resampling), at a time of day: it passes, and every
// worst figure lies within a stated tolerance of the block's own, the
// difference being 9-2LE quantisation (10 mV counts on 100 V) and float32
// frames. About 3 s.
TEST(ComplianceCommand, TheQuickPlanPassesThroughTheWholeInstrument) {
    const ScratchDirectory scratch("compliance_sv");
    const std::string json = scratch.file("plan.json");
    const ToolResult o = runTool("compliance --build 4k --quick --estimator model --in-process --start-time 80000 "
                                 "--through sv --json '" + json + "'",
                                 scratch);
    ASSERT_EQ(o.status, 0) << o.all();
    EXPECT_NE(o.out.find("Block only beside through the instrument"), std::string::npos) << o.out;
    const nlohmann::json doc = nlohmann::json::parse(readWholeFile(json));
    EXPECT_EQ(doc["settings"]["road"], "sv");
    EXPECT_EQ(doc["settings"]["roadSettings"]["svRate"], "4000 Hz");
    // Tolerances: TVE as a fraction, FE Hz, RFE Hz/s, times s, overshoot
    // as a fraction of the step.
    const std::map<std::string, double> tolerance = {
        {"tve", 2e-5},         {"fe", 5e-4},          {"rfe", 0.02},   {"tveResponse", 2.5e-3},
        {"feResponse", 2.5e-3}, {"rfeResponse", 2.5e-3}, {"delay", 2e-4}, {"overshoot", 5e-4},
        {"latency", 1e-6},
    };
    ASSERT_EQ(doc["comparison"].size(), 27u);  // 16 accuracy, 10 step figures, latency
    for (const auto& d : doc["comparison"]) {
        const std::string figure = d["figure"];
        const double block = d["block"];
        const double through = d["instrument"];
        EXPECT_LE(std::fabs(through - block), tolerance.at(figure)) << d["test"] << " " << figure;
    }
    for (const auto& row : doc["summary"]) {
        EXPECT_EQ(row["flagged"], 0) << row["test"];
        EXPECT_EQ(row["missing"], 0) << row["test"];
    }
}

// Lost, duplicated and reordered sampled-values frames (1 % each): counted
// in the settings, and the accuracy and step rows of the unflagged reports
// still pass (the bridge fills single lost samples). About 2 s.
TEST(ComplianceCommand, FaultsInTheSampledValuesAreCountedAndTheAccuracyHolds) {
    const ScratchDirectory scratch("compliance_sv_faults");
    const std::string json = scratch.file("plan.json");
    const ToolResult o = runTool("compliance --build 4k --quick --estimator model --in-process --through sv --lose 0.01 "
                                 "--duplicate 0.01 --reorder 0.01 --fault-seed 7 --json '" + json + "'",
                                 scratch);
    ASSERT_TRUE(o.status == 0 || o.status == 3) << o.all();
    const nlohmann::json doc = nlohmann::json::parse(readWholeFile(json));
    const nlohmann::json& road = doc["settings"]["roadSettings"];
    for (const char* count : {"svFramesLost", "svFramesDuplicated", "svFramesReordered", "samplesBridged"}) {
        EXPECT_GT(std::stoll(road[count].get<std::string>()), 0) << count;
    }
    for (const auto& row : doc["summary"]) {
        if (row["estimator"] == "instrument") {
            EXPECT_TRUE(row["pass"].get<bool>()) << row["test"];
        }
    }
}

}  // namespace
