#include "bench/bench_summary.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace {

enum Road : std::size_t { kFloor, kInProcess, kMexFunction, kHostDriver, kRoads };

struct Figures {
    std::array<std::vector<double>, kRoads> repetitions;
    std::array<std::optional<double>, kRoads> median;
};

std::map<std::string, Figures>& figures() {
    static std::map<std::string, Figures> byBuild;
    return byBuild;
}

// Splits "BM_X/tag/rest" at its slashes.
std::vector<std::string> parts(const std::string& name) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = name.find('/', start);
        out.push_back(name.substr(start, slash - start));
        if (slash == std::string::npos) return out;
        start = slash + 1;
    }
}

// The road and build of a benchmark name that belongs in the table.
std::optional<std::pair<Road, std::string>> roadOf(const std::string& name) {
    const std::vector<std::string> p = parts(name);
    if (p.size() == 2 && p[0] == "BM_MathFloor") return std::make_pair(kFloor, p[1]);
    if (p.size() == 3 && p[0] == "BM_ModelStep" && p[2] == "50Hz") return std::make_pair(kInProcess, p[1]);
    if (p.size() == 2 && p[0] == "BM_MexFunction") return std::make_pair(kMexFunction, p[1]);
    if (p.size() == 2 && p[0] == "BM_HostDriver") return std::make_pair(kHostDriver, p[1]);
    return std::nullopt;
}

double figure(const Figures& f, Road road) {
    if (f.median[road]) return *f.median[road];
    std::vector<double> values = f.repetitions[road];
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

void printCell(std::FILE* out, double nanoseconds, double floor) {
    if (nanoseconds <= 0.0) {
        std::fprintf(out, " %20s", "-");
    } else if (floor <= 0.0) {
        std::fprintf(out, " %12.1f ns     ", nanoseconds);
    } else {
        std::fprintf(out, " %8.1f ns %5.2fx", nanoseconds, nanoseconds / floor);
    }
}

}  // namespace

void recordRun(const std::string& name, bool median, double nanosecondsPerSample) {
    const auto road = roadOf(name);
    if (!road) return;
    Figures& f = figures()[road->second];
    if (median) {
        f.median[road->first] = nanosecondsPerSample;
    } else {
        f.repetitions[road->first].push_back(nanosecondsPerSample);
    }
}

void printSummary(std::FILE* out) {
    if (figures().empty()) return;
    std::fprintf(out, "\nns of CPU time per sample (median of repetitions) and multiple of the build's floor\n");
    std::fprintf(out, "%-6s %20s %20s %20s %20s\n", "build", "floor", "in-process", "mexFunction", "host driver");
    std::vector<std::string> order;
    for (const char* tag : {"10k", "14p4k", "4k"}) {
        if (figures().count(tag) != 0) order.emplace_back(tag);
    }
    for (const auto& entry : figures()) {
        if (std::find(order.begin(), order.end(), entry.first) == order.end()) order.push_back(entry.first);
    }
    for (const std::string& build : order) {
        const Figures& f = figures()[build];
        const double floor = figure(f, kFloor);
        std::fprintf(out, "%-6s", build.c_str());
        printCell(out, floor, 0.0);
        printCell(out, figure(f, kInProcess), floor);
        printCell(out, figure(f, kMexFunction), floor);
        printCell(out, figure(f, kHostDriver), floor);
        std::fprintf(out, "\n");
    }
}
