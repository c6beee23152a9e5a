#include "bench/bench_summary.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace {

constexpr std::size_t kRoads = 4;
constexpr std::array<const char*, kRoads> kBuildOrder = {"10k", "14p4k", "4k", nullptr};

using Figures = std::array<std::vector<double>, kRoads>;

std::map<std::string, Figures>& figures() {
    static std::map<std::string, Figures> byBuild;
    return byBuild;
}

// Median of the repetitions; 0 when the road was not measured.
double median(std::vector<double> values) {
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

void recordFigure(const std::string& build, Road road, double nanosecondsPerSample) {
    figures()[build][static_cast<std::size_t>(road)].push_back(nanosecondsPerSample);
}

void printSummary(std::FILE* out) {
    if (figures().empty()) return;
    std::fprintf(out, "\nns of CPU time per sample (median of repetitions) and multiple of the build's floor\n");
    std::fprintf(out, "%-6s %20s %20s %20s %20s\n", "build", "floor", "in-process", "mexFunction",
                 "host driver");
    std::vector<std::string> order;
    for (const char* tag : kBuildOrder) {
        if (tag != nullptr && figures().count(tag) != 0) order.emplace_back(tag);
    }
    for (const auto& [build, unused] : figures()) {
        if (std::find(order.begin(), order.end(), build) == order.end()) order.push_back(build);
    }
    for (const std::string& build : order) {
        const Figures& f = figures()[build];
        const double floor = median(f[static_cast<std::size_t>(Road::kFloor)]);
        std::fprintf(out, "%-6s", build.c_str());
        printCell(out, floor, 0.0);
        printCell(out, median(f[static_cast<std::size_t>(Road::kInProcess)]), floor);
        printCell(out, median(f[static_cast<std::size_t>(Road::kMexFunction)]), floor);
        printCell(out, median(f[static_cast<std::size_t>(Road::kHostDriver)]), floor);
        std::fprintf(out, "\n");
    }
}
