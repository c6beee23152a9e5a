// The rate sections of the reports' COMTRADE output time every report as
// its timestamp does, whatever the spacing: a hand-over to a new rate off
// both grids, a skipped instant, two hand-overs in a row. Where no rate can
// carry a gap (time ran back) the timestamps carry the timing (nrates 0).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/comtrade/cfg_parser.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/comtrade/comtrade_sink.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

struct Report {
    double time;  // s, the block's Time
    int32_t rate;
};

ComtradeConfig writeReports(const std::string& path, const std::vector<Report>& reports) {
    RunDescription description;
    description.epochOfTimeZero = 1765000000.0;
    ComtradeSink sink(path, description);
    EXPECT_TRUE(sink.open()) << sink.error();
    ModelInputs in;
    for (const Report& r : reports) {
        ModelOutputs out;
        out.timestamp = r.time;
        out.reportStrobe = true;
        out.activeReportRate = r.rate;
        EXPECT_TRUE(sink.write(in, out)) << sink.error();
    }
    EXPECT_TRUE(sink.finish()) << sink.error();
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return parseCfg(text.str(), path);
}

std::vector<Report> grid(double from, int rate, int count) {
    std::vector<Report> reports;
    for (int k = 0; k < count; ++k) reports.push_back({from + static_cast<double>(k) / rate, rate});
    return reports;
}

std::vector<Report> operator+(std::vector<Report> a, const std::vector<Report>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ComtradeReportSections, EveryReportTimedByTheSectionsAsByItsTimestamp) {
    ScratchFolder scratch("report_sections");
    const double t0 = 80000.0;  // a time of day
    struct Case {
        const char* what;
        std::vector<Report> reports;
        double tolerance = 1e-9;  // s
    };
    const Case cases[] = {
        {"one rate", grid(t0, 50, 20)},
        {"hand-over off both grids", grid(t0, 50, 7) + std::vector<Report>{{t0 + 0.1423, 10}} + grid(t0 + 0.2, 10, 18)},
        {"hand-over on the new grid", grid(t0, 50, 7) + grid(t0 + 0.2, 10, 5)},
        {"a skipped instant", grid(t0, 50, 5) + grid(t0 + 0.12, 50, 5)},
        {"two hand-overs in a row",
         grid(t0, 50, 3) + std::vector<Report>{{t0 + 0.0517, 25}, {t0 + 0.0631, 60}} + grid(t0 + 1.0, 60, 4)},
        // A double at a Unix time resolves 2.4e-7 s.
        {"1200/s at a Unix time", grid(1765000000.25, 1200, 50) + grid(1765000000.3, 1200, 5), 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ComtradeConfig config = writeReports(scratch.file("r.cfg"), c.reports);
        ASSERT_TRUE(config.timedByRates());
        ASSERT_EQ(config.sampleCount(), static_cast<int64_t>(c.reports.size()));
        for (const SampleSection& s : sectionsFromRates(config)) {
            for (std::size_t i = s.first; i < s.first + s.count; ++i) {
                const double t = s.startElapsed + static_cast<double>(i - s.first) / s.rate;
                EXPECT_NEAR(t, c.reports[i].time - c.reports[0].time, c.tolerance) << "report " << i + 1;
            }
        }
    }
}

TEST(ComtradeReportSections, TimeRunningBackLeavesTheTimingToTheTimestamps) {
    ScratchFolder scratch("report_sections_back");
    const ComtradeConfig config = writeReports(scratch.file("r.cfg"), grid(10.0, 50, 5) + grid(10.02, 50, 5));
    EXPECT_FALSE(config.timedByRates());
    ASSERT_EQ(config.rates.size(), 1u);
    EXPECT_EQ(config.rates[0].endSample, 10);
}

}  // namespace
