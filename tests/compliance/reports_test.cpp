// The table, the JSON and the HTML page say the same thing, and the JSON
// and HTML are well formed and self-contained.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "compliance/html_report.h"
#include "compliance/json_report.h"
#include "compliance/json_text.h"
#include "compliance/plan_runner.h"
#include "compliance/summary_cells.h"
#include "compliance/road_comparison.h"
#include "compliance/table_report.h"
#include "tests/compliance/plan_fixtures.h"

namespace {

// A small plan through the 4 kHz model: the nominal case, one harmonic and
// one step with the fewest positions.
const PlanResult& smallRun() {
    static const PlanResult result = [] {
        PlanSettings s = settingsFor(model_4k::kModelEntry, 50.0);
        s.quick = true;
        s.stepPositions = 10;
        const TestPlan plan = planWith(s, [](const PlanCase& c) {
            return (c.test == PlanTest::FrequencyRange && c.parameter == 50.0) ||
                   (c.test == PlanTest::Harmonics && c.parameter == 3.0) ||
                   (c.test == PlanTest::PhaseStep && c.parameter > 0.0);
        });
        PlanResult r;
        std::string error;
        if (!runPlan(plan, inProcess(model_4k::kModelEntry), true, true, {}, r, error)) std::abort();
        return r;
    }();
    return result;
}

// Brackets balance outside strings, and no bare NaN or infinity slipped in.
bool wellFormedJson(const std::string& json, std::string& why) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '{' || c == '[') ++depth;
        else if (c == '}' || c == ']') --depth;
        else if (c == 'n' && json.compare(i, 3, "nan") == 0) return why = "nan at " + std::to_string(i), false;
        else if (c == 'i' && json.compare(i, 3, "inf") == 0) return why = "inf at " + std::to_string(i), false;
        if (depth < 0) return why = "unbalanced at " + std::to_string(i), false;
    }
    if (depth != 0 || inString) return why = "unterminated", false;
    return true;
}

// The number after `key` following the first occurrence of `anchor`.
double numberAfter(const std::string& json, const std::string& anchor, const std::string& key) {
    const std::size_t a = json.find(anchor);
    if (a == std::string::npos) return std::numeric_limits<double>::quiet_NaN();
    const std::size_t k = json.find(key, a);
    if (k == std::string::npos) return std::numeric_limits<double>::quiet_NaN();
    return std::strtod(json.c_str() + k + key.size(), nullptr);
}

TEST(Reports, JsonCarriesTheSummaryFiguresExactly) {
    const PlanResult& r = smallRun();
    const std::string json = jsonReport(r, "Orvane_4kHz_sf");
    std::string why;
    ASSERT_TRUE(wellFormedJson(json, why)) << why;
    for (const TestRow& row : r.summary.rows) {
        const std::string anchor = std::string("\"test\":\"") + planTestKey(row.test) + "\",\"estimator\":\"" +
                                   estimatorName(row.estimator) + "\"";
        SCOPED_TRACE(anchor);
        if (isStepTest(row.test)) {
            EXPECT_EQ(numberAfter(json, anchor, "\"tveResponse\":{\"worst\":"), row.tveResponse.value);
            EXPECT_EQ(numberAfter(json, anchor, "\"delay\":{\"worst\":"), row.delay.value);
        } else {
            EXPECT_EQ(numberAfter(json, anchor, "\"tve\":{\"worst\":"), row.tve.value);
            EXPECT_EQ(numberAfter(json, anchor, "\"rfe\":{\"worst\":"), row.rfe.value);
        }
    }
    // Every counted report of every case is there.
    std::size_t reports = 0;
    for (std::size_t p = json.find("\"reports\":["); p != std::string::npos; p = json.find("\"reports\":[", p + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, 2 * r.cases.size());
}

TEST(Reports, TableAndPageShowTheSameCells) {
    const PlanResult& r = smallRun();
    const std::string html = htmlReport(r, "Orvane_4kHz_sf");
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* memory = open_memstream(&buffer, &size);
    ASSERT_NE(memory, nullptr);
    writeTableReport(memory, r, "Orvane_4kHz_sf");
    std::fclose(memory);
    const std::string table(buffer, size);
    std::free(buffer);

    for (const SummaryTable& t : summaryTables(r.summary)) {
        for (const SummaryLine& l : t.lines) {
            for (const SummaryCell& c : l.cells) {
                EXPECT_NE(table.find(c.text), std::string::npos) << c.text;
                EXPECT_NE(html.find(c.text), std::string::npos) << c.text;
            }
        }
    }
}

TEST(Reports, PageIsSelfContained) {
    const std::string html = htmlReport(smallRun(), "Orvane_4kHz_sf");
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    // A plot per assessed quantity: TVE, FE and RFE of both non-step tests,
    // and TVE, FE, RFE and the angle of the phase step.
    std::size_t plots = 0;
    for (std::size_t p = html.find("<svg"); p != std::string::npos; p = html.find("<svg", p + 1)) ++plots;
    EXPECT_EQ(plots, 3u + 3u + 4u);
    EXPECT_NE(html.find("stroke-dasharray=\"6 4\""), std::string::npos) << "no limit line";
    // Every line names its estimator and case; the step plots mark the
    // response-time limits; every row has a note.
    EXPECT_NE(html.find("<title>model, h = 3"), std::string::npos);
    EXPECT_NE(html.find("<title>reference, h = 3"), std::string::npos);
    EXPECT_NE(html.find(">40 ms response limit<"), std::string::npos);
    EXPECT_NE(html.find(">90 ms response limit<"), std::string::npos);
    EXPECT_NE(html.find(">120 ms response limit<"), std::string::npos);
    EXPECT_EQ(html.find("<td class=\"note\"></td>"), std::string::npos);
}

TEST(JsonText, EscapesTextWritesNonFiniteAsNullAndKeepsSeventeenDigits) {
    const Json doc = {{"text", "a \"quote\", a \\ and a\nline\x01"},
                      {"nan", std::numeric_limits<double>::quiet_NaN()},
                      {"inf", std::numeric_limits<double>::infinity()},
                      {"exact", 0.1},
                      {"whole", 100.0},
                      {"list", Json::array({1, true, Json::object()})}};
    EXPECT_EQ(jsonText(doc),
              "{\"text\":\"a \\\"quote\\\", a \\\\ and a\\nline\\u0001\",\"nan\":null,\"inf\":null,"
              "\"exact\":0.10000000000000001,\"whole\":100,\"list\":[1,true,{}]}");
}

// The comparison of the two roads: a figure moved by no more than float32
// rounding says so, one moved further names the road's effects (and the
// resampler's for harmonics), and nothing is compared when the model did
// not take the instrument's road.
TEST(RoadComparison, DifferencesBeyondFloat32RoundingNameTheRoadsEffects) {
    PlanResult r = smallRun();
    EXPECT_TRUE(compareRoads(r).empty());
    r.roadEffects = {"quantisation"};
    r.roadResamples = true;
    std::vector<TestRow> through;
    for (const TestRow& row : r.summary.rows) {
        if (row.estimator != Estimator::Model) continue;
        TestRow copy = row;
        copy.estimator = Estimator::Instrument;
        if (copy.test == PlanTest::Harmonics) copy.tve.value += 1e-5;   // beyond rounding
        if (copy.test == PlanTest::FrequencyRange) copy.fe.value += 1e-7;  // within it
        through.push_back(copy);
    }
    r.summary.rows.insert(r.summary.rows.end(), through.begin(), through.end());
    r.summary.estimatorRan[static_cast<int>(Estimator::Instrument)] = true;
    const struct {
        PlanTest test;
        const char* key;
        const char* why;
    } expected[] = {
        {PlanTest::FrequencyRange, "fe", "within the frames' rounding (float32 values, timestamps to 1 us)"},
        {PlanTest::Harmonics, "tve", "larger through the instrument: quantisation; harmonics above"},
        {PlanTest::PhaseStep, "tveResponse", "within the frames' rounding (float32 values, timestamps to 1 us)"},
    };
    const std::vector<RoadDifference> differences = compareRoads(r);
    for (const auto& e : expected) {
        bool found = false;
        for (const RoadDifference& d : differences) {
            if (d.test != e.test || std::string(d.key) != e.key) continue;
            found = true;
            EXPECT_EQ(d.why.rfind(e.why, 0), 0u) << d.key << ": " << d.why;
        }
        EXPECT_TRUE(found) << e.key;
    }
}

}  // namespace
