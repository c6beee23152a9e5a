#include "compliance/table_report.h"

#include <algorithm>
#include <vector>

#include "compliance/road_comparison.h"
#include "compliance/summary_cells.h"

namespace {

void pad(std::string& text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
}

}  // namespace

std::string planHeadline(const PlanResult& result, const std::string& modelName) {
    const PlanSettings& s = result.plan.settings;
    char text[256];
    std::snprintf(text, sizeof text, "%s, f0 = %g Hz, %d reports/s, %s plan: %zu runs, %.1f s of signal, %.1f s",
                  modelName.c_str(), s.nominalFrequency, s.reportRate, s.quick ? "quick" : "full",
                  result.plan.cases.size(), static_cast<double>(result.samples) * s.samplePeriod,
                  result.elapsedSeconds);
    return text;
}

namespace {

void writeComparison(std::FILE* out, const PlanResult& result) {
    const std::vector<RoadDifference> differences = compareRoads(result);
    if (differences.empty()) return;
    std::vector<std::vector<std::string>> rows = {
        {"Test", "Figure", "Block only", "Through the instrument", "Difference", "Why"}};
    for (const RoadDifference& d : differences) rows.push_back(roadDifferenceCells(d));
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::fprintf(out, "\nBlock only beside through the instrument (%s)\n", roadLine(result).c_str());
    for (auto row : rows) {
        std::string text;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i + 1 < row.size()) pad(row[i], widths[i] + 2);
            text += row[i];
        }
        std::fprintf(out, "%s\n", text.c_str());
    }
}

}  // namespace

void writeTableReport(std::FILE* out, const PlanResult& result, const std::string& modelName) {
    std::fprintf(out, "P-class compliance: %s\n", planHeadline(result, modelName).c_str());
    for (const SummaryTable& table : summaryTables(result.summary)) {
        std::vector<std::string> header = {"Test", "Estimator"};
        header.insert(header.end(), table.headers.begin(), table.headers.end());
        header.push_back("Result");
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> notes;
        for (const SummaryLine& l : table.lines) {
            std::vector<std::string> row = {l.test, l.estimator};
            for (const SummaryCell& c : l.cells) row.push_back(c.fail ? c.text + " !" : c.text);
            row.push_back(l.pass ? "pass" : "FAIL");
            rows.push_back(std::move(row));
            notes.push_back(l.note);
        }
        std::vector<std::size_t> widths(header.size(), 0);
        for (std::size_t i = 0; i < header.size(); ++i) widths[i] = header[i].size();
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
        }
        std::fprintf(out, "\n%s\n", table.title.c_str());
        auto print = [&](std::vector<std::string> row, const std::string& note) {
            std::string text;
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i + 1 < row.size()) pad(row[i], widths[i] + 2);
                text += row[i];
            }
            if (!note.empty()) text += "  (" + note + ")";
            std::fprintf(out, "%s\n", text.c_str());
        };
        print(header, {});
        for (std::size_t r = 0; r < rows.size(); ++r) print(rows[r], notes[r]);
    }
    writeComparison(out, result);
    std::fprintf(out, "\n'!' marks a figure beyond its limit.\n");
}
