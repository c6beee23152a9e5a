// Sampled-values captures written by `orvane sv-publish` and measured by
// `orvane run --sv-pcap`: the same bits as the same quantised samples run as
// CSV, a resampled rate measured on true time, injected faults counted as
// injected and marking exactly the measurements they reach, a fresh start of
// the model after an outage, and bad captures refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "io/report_quality.h"
#include "io/sv/packet_capture.h"
#include "io/sv/sv_frame.h"
#include "tests/support/tool_process.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const char* kHeader = "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n";

// Real data starts at a time of day with a fraction of a second.
constexpr double kOrigin = 80000.37;

// A three-phase set with a 5 % fifth harmonic at 50.3 Hz, as a sample CSV
// at `rate` from `origin` (s); `quantised` rounds every value to the
// publisher's 10 mV counts. Each time is its whole second plus its count
// within the second over the rate, as a capture's samples are timed.
void writeSamples(const std::string& path, double rate, double seconds, bool quantised, double origin = kOrigin) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(kHeader, f);
    const auto n = static_cast<uint64_t>(seconds * rate);
    const auto perSecond = static_cast<uint64_t>(rate);
    const double second = std::floor(origin);
    const auto first = static_cast<uint64_t>(std::llround((origin - second) * rate));
    for (uint64_t k = first; k < first + n; ++k) {
        const double t = second + static_cast<double>(k / perSecond) + static_cast<double>(k % perSecond) / rate;
        double v[3];
        for (int p = 0; p < 3; ++p) {
            const double a = 2 * kPi * 50.3 * t - p * 2 * kPi / 3;
            v[p] = 100 * std::cos(a) + 5 * std::cos(5 * a);
            if (quantised) v[p] = std::nearbyint(v[p] / 0.01) * 0.01;
        }
        std::fprintf(f, "%.17g,%.17g,%.17g,%.17g,50,0,0,1,0,0,0,50,1\n", t, v[0], v[1], v[2]);
    }
    std::fclose(f);
}

std::vector<std::vector<double>> csvRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<double> row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) row.push_back(std::stod(field));
        rows.push_back(row);
    }
    return rows;
}

// Whether a `quality` column value holds a reason from missing input.
double missingIn(double word) { return (static_cast<int>(word) & kQualityMissing) != 0 ? 1.0 : 0.0; }

std::string countIn(const std::string& text, const std::string& before) {
    const std::size_t at = text.find(before);
    if (at == std::string::npos || at < 2) return "?";
    const std::size_t end = text[at - 1] == ' ' ? at - 1 : at;
    const std::size_t start = text.rfind(' ', end - 1);
    return text.substr(start + 1, end - start - 1);
}

// The samples of a 4000 Hz capture (numbered from its first) that never
// arrived, read from its frames: each smpCnt in the second of its stamp.
std::set<int64_t> lostSamples(const std::string& pcap) {
    std::string error;
    std::unique_ptr<PacketReader> packets = openCaptureFile(pcap, error);
    std::set<int64_t> seen, lost;
    CapturedPacket packet;
    SvFault fault;
    std::size_t offset = 0;
    while (packets && packets->next(packet) == PacketReader::Status::Packet) {
        SvFrame frame;
        if (decodeSvFrame(packet.bytes, frame, fault, offset) != SvDecode::Frame) continue;
        const double stamp = static_cast<double>(packet.time.seconds) + packet.time.nanoseconds * 1e-9;
        for (const SvAsdu& a : frame.asdus) seen.insert(std::llround(stamp - a.smpCnt / 4000.0) * 4000 + a.smpCnt);
    }
    for (int64_t k = seen.empty() ? 0 : *seen.begin(); !seen.empty() && k < *seen.rbegin(); ++k) {
        if (seen.count(k) == 0) lost.insert(k - *seen.begin());
    }
    return lost;
}

TEST(SvCommands, CaptureAtABuildRateGivesTheQuantisedCsvRunsOutput) {
    ScratchDirectory scratch("sv_round_trip");
    for (const auto& [rate, build] : {std::pair{4000, "4k"}, std::pair{14400, "14p4k"}}) {
        const std::string tag = std::to_string(rate);
        writeSamples(scratch.file(tag + ".csv"), rate, 1.5, false);
        writeSamples(scratch.file(tag + ".q.csv"), rate, 1.5, true);
        const ToolResult publish = runTool("sv-publish --input " + scratch.file(tag + ".csv") + " --rate " + tag +
                                               " --asdus 2 --pcap " + scratch.file(tag + ".pcap"),
                                           scratch);
        ASSERT_EQ(publish.status, 0) << publish.err;
        const ToolResult fromSv =
            runTool("run --in-process --build auto --sv-pcap " + scratch.file(tag + ".pcap"), scratch);
        const ToolResult fromCsv =
            runTool("run --in-process --build " + std::string(build) + " --input " + scratch.file(tag + ".q.csv"), scratch);
        ASSERT_EQ(fromSv.status, 0) << fromSv.err;
        ASSERT_EQ(fromCsv.status, 0) << fromCsv.err;
        EXPECT_EQ(csvRows(fromSv.out).size(), static_cast<std::size_t>(rate * 3 / 2));
        EXPECT_TRUE(fromSv.out == fromCsv.out) << tag;
        EXPECT_NE(fromSv.err.find("0 lost, 0 duplicated, 0 reordered"), std::string::npos) << fromSv.err;
    }
}

TEST(SvCommands, ResampledCaptureMeasuresTheSignalOnTheReportGrid) {
    ScratchDirectory scratch("sv_resampled");
    const ToolResult publish = runTool("sv-publish --signal steady --frequency 50.4 --phase 30 --duration 3 "
                                       "--rate 4800 --pcap " + scratch.file("a.pcap"),
                                       scratch);
    ASSERT_EQ(publish.status, 0) << publish.err;
    const ToolResult run = runTool("run --in-process --build 14p4k --reports-only --sv-pcap " + scratch.file("a.pcap"),
                                   scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = csvRows(run.out);
    ASSERT_GT(rows.size(), 140u);
    double worstTve = 0, worstFrequency = 0;
    for (const auto& r : rows) {
        const double t = r[0];
        EXPECT_NEAR(t * 50, std::nearbyint(t * 50), 1e-6) << t;
        if (t < 0.3 || t > 2.8) continue;  // filters settling, resampler's tail
        const std::complex<double> truth = std::polar(100.0, 2 * kPi * 0.4 * t + kPi / 6);
        worstTve = std::max(worstTve, std::abs(std::polar(r[1], r[2]) - truth) / 100.0);
        worstFrequency = std::max(worstFrequency, std::fabs(r[3] - 50.4));
    }
    EXPECT_LT(worstTve, 0.0005);
    EXPECT_LT(worstFrequency, 0.001);
}

TEST(SvCommands, InjectedFaultsAreCountedAsInjectedAndTheStreamGoesOn) {
    ScratchDirectory scratch("sv_faults");
    const std::string pcap = scratch.file("f.pcap");
    const ToolResult publish = runTool("sv-publish --signal steady --duration 3 --lose 0.01 --duplicate 0.01 "
                                       "--reorder 0.01 --fault-seed 7 --pcap " + pcap,
                                       scratch);
    ASSERT_EQ(publish.status, 0) << publish.err;
    const ToolResult run = runTool("run --in-process --build 4k --reports-only --quality --sv-pcap " + pcap, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    // Reports at 0 .. 2.96 s (the one at 2.98 s would need a period after
    // the end); each lost sample bridged, so the steady magnitude holds.
    const auto rows = csvRows(run.out);
    ASSERT_EQ(rows.size(), 149u);
    for (std::size_t i = 2; i < rows.size(); ++i) EXPECT_NEAR(rows[i][1], 100.0, 0.1) << rows[i][0];
    EXPECT_NE(run.err.find("samples bridged"), std::string::npos) << run.err;
    const std::string lost = countIn(publish.err, "frames lost");
    EXPECT_NE(lost, "0");
    EXPECT_EQ(countIn(run.err, "lost,"), lost) << publish.err << run.err;

    // Every lost frame here is one sample, within the bridge's proven span
    // (but for any in the first period, with nothing to bridge from):
    // the measurements whose filters' memory (three periods of the lowest
    // tuning frequency, 25 Hz: the 480 samples ending at the one measured)
    // holds a lost sample rest on bridged samples, usable, not marked "do
    // not use"; every sample's row, and the report rows of the run above.
    const std::set<int64_t> missing = lostSamples(pcap);
    EXPECT_EQ(std::to_string(missing.size()), lost);
    const ToolResult all = runTool("run --in-process --build 4k --quality --sv-pcap " + pcap, scratch);
    ASSERT_EQ(all.status, 0) << all.err;
    std::vector<double> markedReports;
    int64_t n = -1;
    for (const auto& row : csvRows(all.out)) {
        const auto next = missing.upper_bound(++n);
        const bool bridged = next != missing.begin() && *std::prev(next) > n - 480;
        // But for a loss before the bridge holds a period and its
        // interpolation's reach (82 samples): left missing, do not use.
        bool unbridged = false;
        for (auto m = missing.begin(); m != missing.end() && *m < 82; ++m) unbridged |= *m <= n && *m > n - 480;
        ASSERT_EQ(missingIn(row[7]), unbridged ? 1.0 : 0.0) << "sample " << n << (bridged ? " (bridged)" : "");
        if (row[5] != 0.0) markedReports.push_back(unbridged ? 1.0 : 0.0);
    }
    std::vector<double> reportRows;
    for (const auto& r : rows) reportRows.push_back(missingIn(r[7]));
    EXPECT_EQ(reportRows, markedReports);
    for (const auto& r : rows) EXPECT_TRUE(r[0] < 0.2 || missingIn(r[7]) == 0.0) << "report at " << r[0];
    EXPECT_EQ(countIn(run.err, "duplicated,"), countIn(publish.err, "duplicated,")) << publish.err << run.err;
    EXPECT_EQ(countIn(run.err, "reordered,"), countIn(publish.err, "reordered")) << publish.err << run.err;
    const ToolResult list = runTool("sv-list " + pcap, scratch);
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("ORVANE_MU01"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(" 4000 "), std::string::npos) << list.out;
}

// An outage of 0.3 s, longer than the filters' memory: the reports go on
// through it, marked; the model starts afresh at the first sample after
// it, said in the notes, and one memory span later the reports are
// unmarked and measure the signal again. Directly and resampled.
TEST(SvCommands, ModelStartsAfreshAfterAnOutageLongerThanTheFiltersMemory) {
    ScratchDirectory scratch("sv_outage");
    for (const auto* rate : {"4000", "4800"}) {
        const std::string pcap = scratch.file(std::string(rate) + ".pcap");
        const ToolResult publish = runTool("sv-publish --signal steady --frequency 50.2 --duration 3 --rate " +
                                               std::string(rate) + " --drop-span 1.2:0.3 --pcap " + pcap,
                                           scratch);
        ASSERT_EQ(publish.status, 0) << publish.err;
        const std::string samples = std::to_string(std::stoi(rate) * 3 / 10);
        const ToolResult run =
            runTool("run --in-process --build auto --reports-only --quality --sv-pcap " + pcap, scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("model restarted after a gap of " + samples +
                               " samples (0.3000 s) at 1970-01-01 00:00:01.500000 UTC"),
                  std::string::npos)
            << run.err;
        const auto rows = csvRows(run.out);
        ASSERT_GT(rows.size(), 140u);
        // The report grid goes on through the outage, but for the report under
        // way when the model restarted (its instant a cycle before).
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const double t = rows[i][0];
            EXPECT_NEAR(t - rows[i - 1][0], t > 1.49 && t < 1.51 ? 0.04 : 0.02, 1e-9) << rate << " Hz, " << t;
            EXPECT_TRUE(t < 1.2 || t > 1.5 || missingIn(rows[i][7]) == 1.0) << rate << " Hz, report at " << t;
            if (t < 1.62 || t > 2.8) continue;  // settling; the resampler's tail
            EXPECT_EQ(rows[i][7], 0.0) << rate << " Hz, report at " << t;
            EXPECT_NEAR(rows[i][1], 100.0, 0.05) << rate << " Hz, report at " << t;
            EXPECT_NEAR(rows[i][3], 50.2, 0.005) << rate << " Hz, report at " << t;
        }
    }
}

// Over an outage the block's tracker drifts on the filled samples, and
// after its fresh start its first report falls on the grid instant at or
// after its first sample minus one period: either may give again an
// instant reported already (a 3535 Hz start-up value at 4800 Hz, a second
// value for an instant within the outage). Each
// instant is reported once, resampled and direct, at a real time.
TEST(SvCommands, NoReportInstantRepeatsAcrossARestart) {
    ScratchDirectory scratch("sv_repeat");
    const struct {
        const char* publish;
        const char* rate;
    } cases[] = {
        {"--signal steady --drop-span 2:0.3", "4800"},
        {"--signal steady --drop-span 2:0.3", "4000"},
        {"--signal ramp --drop-span 2:0.3", "4000"},
        {"--signal off-nominal --drop-span 2:0.13", "4000"},
    };
    for (const auto& c : cases) {
        const std::string pcap = scratch.file("r.pcap");
        const std::string what = std::string(c.publish) + " at " + c.rate + " Hz";
        const ToolResult publish = runTool("sv-publish " + std::string(c.publish) + " --duration 3 --start-time "
                                           "1765000000 --rate " + c.rate + " --pcap " + pcap,
                                           scratch);
        ASSERT_EQ(publish.status, 0) << publish.err;
        const ToolResult run =
            runTool("run --in-process --build auto --reports-only --quality --sv-pcap " + pcap, scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("model restarted"), std::string::npos) << what << run.err;
        const auto rows = csvRows(run.out);
        ASSERT_GT(rows.size(), 140u) << what;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            EXPECT_GT(rows[i][0], rows[i - 1][0]) << what << ": report " << i;
        }
    }
}

// A lossy stream off nominal: frames lost at random, each a burst of up to
// four samples. Every report holds the class-P limits against the signal's
// exact phasor, and fewer than 1 % are "do not use": the bridge continues
// the waveform with its measured period. Streams from 1.7e9 s (the time of
// day 80000 s).
TEST(SvCommands, ALossyStreamOffNominalHoldsTheClassPLimits) {
    ScratchDirectory scratch("sv_lossy");
    struct Case {
        const char* rate;
        double nominal, frequency;
        const char* lose;
        int asdus;
    } cases[] = {
        {"4000", 50, 51.5, "0.01", 4}, {"4000", 50, 48.5, "0.005", 1}, {"4800", 60, 58.2, "0.01", 2}};
    for (const Case& c : cases) {
        const std::string name = std::string(c.rate) + " Hz, " + std::to_string(c.frequency) + " Hz";
        const std::string pcap = scratch.file("lossy.pcap");
        const ToolResult publish = runTool(
            "sv-publish --signal steady --duration 4 --start-time 1700000000 --rate " + std::string(c.rate) +
                " --nominal-frequency " + std::to_string(c.nominal) + " --frequency " + std::to_string(c.frequency) +
                " --asdus " + std::to_string(c.asdus) + " --lose " + c.lose + " --fault-seed 3 --pcap " + pcap,
            scratch);
        ASSERT_EQ(publish.status, 0) << publish.err;
        ASSERT_NE(countIn(publish.err, "frames lost"), "0") << publish.err;
        const ToolResult run = runTool("run --in-process --build auto --reports-only --quality --nominal-frequency " +
                                           std::to_string(c.nominal) + " --sv-pcap " + pcap,
                                       scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("samples bridged with the same phase one measured period earlier"), std::string::npos)
            << run.err;
        int reports = 0, doNotUse = 0, bridged = 0;
        for (const auto& row : csvRows(run.out)) {
            const double t = row[0];  // seconds of the day: 80000 at the start
            if (t < 80001.0) continue;  // the filters filling
            ++reports;
            const auto word = static_cast<ReportQuality>(row[7]);
            doNotUse += qualityDoNotUse(word);
            bridged += (word & kQualityBridged) != 0;
            // The angle against the nominal cosine turns at f - f0; the
            // offsets here make a whole number of turns by the midnight.
            const std::complex<double> ideal = std::polar(100.0, 2 * kPi * (c.frequency - c.nominal) * t);
            EXPECT_LT(std::abs(std::polar(row[1], row[2]) - ideal) / 100.0, 0.01) << name << ", report at " << t;
            EXPECT_LT(std::fabs(row[3] - c.frequency), 0.005) << name << ", report at " << t;
            EXPECT_LT(std::fabs(row[4]), 0.4) << name << ", report at " << t;
        }
        EXPECT_GT(reports, 140) << name;
        EXPECT_LT(doNotUse * 100, reports) << name;
        // Usable, but told: the reports that rest on estimated samples say so.
        EXPECT_GT(bridged, 0) << name;
    }
}

TEST(SvCommands, BadCapturesAndSelectionsAreRefusedWithTheirReason) {
    ScratchDirectory scratch("sv_bad");
    std::FILE* f = std::fopen(scratch.file("not.pcap").c_str(), "w");
    std::fputs(kHeader, f);
    std::fclose(f);
    const ToolResult notCapture = runTool("run --sv-pcap " + scratch.file("not.pcap"), scratch);
    EXPECT_EQ(notCapture.status, 2);
    EXPECT_NE(notCapture.err.find("not a pcap or pcapng capture"), std::string::npos) << notCapture.err;

    ASSERT_EQ(runTool("sv-publish --signal steady --duration 1.2 --pcap " + scratch.file("a.pcap"), scratch).status, 0);
    const ToolResult unseen = runTool("run --sv-pcap " + scratch.file("a.pcap") + " --sv-id OTHER", scratch);
    EXPECT_EQ(unseen.status, 2);
    EXPECT_NE(unseen.err.find("no sampled-values stream that fits the selection"), std::string::npos) << unseen.err;

    const ToolResult noInterface = runTool("sv-list orvane-no-such-if0", scratch);
    EXPECT_EQ(noInterface.status, 2);
    EXPECT_NE(noInterface.err.find("orvane-no-such-if0"), std::string::npos) << noInterface.err;

    const ToolResult misplaced = runTool("run --signal steady --sv-id X", scratch);
    EXPECT_EQ(misplaced.status, 2);
    EXPECT_NE(misplaced.err.find("applies to --sv-pcap only"), std::string::npos) << misplaced.err;
}

}  // namespace
