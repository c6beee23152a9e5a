// The runner's verdicts when the block misbehaves: reports late, missing,
// off the report grid, or a block that fails mid-run. A stand-in block
// reports the ideal phasor of a clean nominal signal, so only the fault
// under test can fail.
#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "compliance/plan_runner.h"
#include "compliance/summary_cells.h"
#include "tests/compliance/plan_fixtures.h"

namespace {

struct Misbehaviour {
    double delay = 0.0;            // s from a report instant to its strobe
    double timestampShift = 0.0;   // s added to the reported timestamp
    long failAtStep = -1;          // step that fails, or -1
    bool silent = false;           // never strobes
};

class StandInBlock : public BlockDriver {
public:
    explicit StandInBlock(Misbehaviour m) : m_(m) {}
    bool start() override { return true; }
    bool step(const ModelInputs& in, ModelOutputs& out) override {
        if (++steps_ == m_.failAtStep) {
            error_ = "injected failure";
            return false;
        }
        if (!started_) {
            next_ = std::ceil(in.time * in.reportRate) / in.reportRate;
            started_ = true;
        }
        out.reportStrobe = false;
        if (!m_.silent && in.time >= next_ + m_.delay - 1e-9) {
            out = {next_ + m_.timestampShift, 100.0, 0.0, 50.0, 0.0, true, in.reportRate};
            next_ += 1.0 / in.reportRate;
        }
        return true;
    }
    void finish() override {}
    const std::string& error() const override { return error_; }

private:
    Misbehaviour m_;
    std::string error_;
    long steps_ = 0;
    bool started_ = false;
    double next_ = 0.0;
};

// The clean nominal case only.
TestPlan nominalPlan() {
    PlanSettings s = settingsFor(model_10k::kModelEntry, 50.0);
    s.quick = true;
    return planWith(s, [](const PlanCase& c) { return c.test == PlanTest::FrequencyRange && c.parameter == 50.0; });
}

PlanResult runWith(const TestPlan& plan, Misbehaviour m, bool& ran, std::string& error) {
    PlanResult result;
    const DriverFactory factory = [m](std::string&) { return std::make_unique<StandInBlock>(m); };
    ran = runPlan(plan, factory, true, false, {}, result, error);
    return result;
}

TEST(PlanRunner, PunctualIdealReportsPassEverything) {
    const TestPlan plan = nominalPlan();
    bool ran = false;
    std::string error;
    const PlanResult r = runWith(plan, Misbehaviour{0.001, 0.0, -1, false}, ran, error);
    ASSERT_TRUE(ran) << error;
    ASSERT_EQ(r.summary.rows.size(), 1u);
    EXPECT_TRUE(r.summary.rows[0].pass());
    EXPECT_EQ(r.summary.rows[0].reports, plan.cases[0].reportCount);
    ASSERT_EQ(r.summary.latency.size(), 1u);
    EXPECT_TRUE(r.summary.latency[0].pass());
    EXPECT_NEAR(r.summary.latency[0].latency.value, 0.001, 1e-4);
}

TEST(PlanRunner, LateReportsFailTheLatencyOnly) {
    const TestPlan plan = nominalPlan();
    bool ran = false;
    std::string error;
    const PlanResult r = runWith(plan, Misbehaviour{2.5 / 50.0, 0.0, -1, false}, ran, error);
    ASSERT_TRUE(ran) << error;
    EXPECT_TRUE(r.summary.rows[0].pass());
    EXPECT_EQ(r.summary.latency[0].missing, 0);
    EXPECT_FALSE(r.summary.latency[0].pass());
    EXPECT_NEAR(r.summary.latency[0].latency.value, 0.05, 1e-4);
}

TEST(PlanRunner, MissingReportsFailTheTestAndSayWhy) {
    const TestPlan plan = nominalPlan();
    bool ran = false;
    std::string error;
    const PlanResult r = runWith(plan, Misbehaviour{0.0, 0.0, -1, true}, ran, error);
    ASSERT_TRUE(ran) << error;
    EXPECT_EQ(r.summary.rows[0].missing, plan.cases[0].reportCount);
    EXPECT_FALSE(r.summary.rows[0].pass());
    EXPECT_FALSE(r.summary.latency[0].pass());
    const std::vector<SummaryTable> tables = summaryTables(r.summary);
    ASSERT_FALSE(tables.empty());
    EXPECT_NE(tables[0].lines[0].note.find("missing"), std::string::npos) << tables[0].lines[0].note;
    EXPECT_EQ(tables[0].lines[0].cells[0].text, "no reports");
}

// A silent block in a step test and in the steady test: every figure says
// "no reports" and the note says why, never "worst: " of no place nor a
// step response of 0 ms.
TEST(PlanRunner, NoReportsAtAllIsSaidPlainlyInEveryRow) {
    PlanSettings s = settingsFor(model_10k::kModelEntry, 50.0);
    s.quick = true;
    const TestPlan plan = planWith(s, [](const PlanCase& c) {
        return (c.test == PlanTest::FrequencyRange && c.parameter == 50.0) || c.test == PlanTest::PhaseStep;
    });
    bool ran = false;
    std::string error;
    const PlanResult r = runWith(plan, Misbehaviour{0.0, 0.0, -1, true}, ran, error);
    ASSERT_TRUE(ran) << error;
    std::size_t lines = 0;
    for (const SummaryTable& table : summaryTables(r.summary)) {
        for (const SummaryLine& line : table.lines) {
            ++lines;
            EXPECT_FALSE(line.pass) << table.title;
            EXPECT_EQ(line.note.find("worst: "), std::string::npos) << line.note;
            EXPECT_NE(line.note.find("no report was made"), std::string::npos) << line.note;
            for (const SummaryCell& cell : line.cells) {
                if (cell.text != "-") {
                    EXPECT_EQ(cell.text, "no reports") << table.title;
                }
            }
        }
    }
    EXPECT_EQ(lines, 3u);  // accuracy, steps, latency
}

TEST(PlanRunner, TimestampsOffTheReportGridAreNotTakenForReports) {
    const TestPlan plan = nominalPlan();
    bool ran = false;
    std::string error;
    // 3 ms off: nearer one instant than any other, but not on it.
    const PlanResult r = runWith(plan, Misbehaviour{0.0, 0.003, -1, false}, ran, error);
    ASSERT_TRUE(ran) << error;
    EXPECT_GT(r.summary.latency[0].offGrid, 0);
    EXPECT_FALSE(r.summary.latency[0].pass());
    EXPECT_FALSE(r.summary.rows[0].pass());
}

TEST(PlanRunner, ABlockFailingMidRunStopsThePlanNamingTheCase) {
    const TestPlan plan = nominalPlan();
    bool ran = true;
    std::string error;
    runWith(plan, Misbehaviour{0.0, 0.0, 5000, false}, ran, error);
    EXPECT_FALSE(ran);
    EXPECT_NE(error.find("Frequency range, f = 50.00 Hz"), std::string::npos) << error;
    EXPECT_NE(error.find("injected failure"), std::string::npos) << error;
}

TEST(PlanRunner, ADriverThatCannotBeMadeStopsThePlan) {
    const TestPlan plan = nominalPlan();
    PlanResult result;
    std::string error;
    const DriverFactory none = [](std::string& e) -> std::unique_ptr<BlockDriver> {
        e = "no such deliverable";
        return nullptr;
    };
    EXPECT_FALSE(runPlan(plan, none, true, true, {}, result, error));
    EXPECT_NE(error.find("no such deliverable"), std::string::npos) << error;
}

}  // namespace
