// `orvane run --comtrade`: the same output as for the same samples fed as
// CSV, malformed recordings refused with their place, and several files at
// once where a failed one leaves the others intact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/comtrade/comtrade_recording.h"
#include "io/comtrade/comtrade_writer.h"
#include "io/output_reader.h"
#include "io/report_quality.h"
#include "tests/support/tool_process.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

// The recording's samples as a sample CSV: scaled values and times exactly,
// the configuration ports at the run's defaults.
void writeSampleCsv(const ComtradeRecording& rec, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n");
    for (std::size_t i = 0; i < rec.size(); ++i) {
        std::fprintf(f, "%.17g,%.17g,%.17g,%.17g,50,0,0,1,0,0,0,50,1\n", rec.timeOf(i), rec.phases[0][i],
                     rec.phases[1][i], rec.phases[2][i]);
    }
    std::fclose(f);
}

TEST(RunComtrade, AtTheBuildRateEveryFormatGivesTheCsvRunsOutput) {
    ScratchDirectory scratch("comtrade_exact");
    for (DataFormat format : {DataFormat::Ascii, DataFormat::Binary, DataFormat::Binary32, DataFormat::Float32}) {
        const SyntheticRecording r = threePhaseRecording(format, 10000.0, 3000);
        const std::string stem = scratch.file(dataFormatName(format));
        ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
        writeSampleCsv(readComtrade(stem + ".cfg", {}), stem + ".csv");
        const ToolResult fromComtrade = runTool("run --in-process --comtrade '" + stem + ".cfg'", scratch);
        const ToolResult fromCsv = runTool("run --in-process --input '" + stem + ".csv'", scratch);
        ASSERT_EQ(fromComtrade.status, 0) << fromComtrade.err;
        ASSERT_EQ(fromCsv.status, 0) << fromCsv.err;
        EXPECT_EQ(std::count(fromComtrade.out.begin(), fromComtrade.out.end(), '\n'), 3001);
        EXPECT_TRUE(fromComtrade.out == fromCsv.out) << dataFormatName(format);
    }
}

TEST(RunComtrade, MalformedRecordingStopsWithItsPlaceAndNoOutput) {
    ScratchDirectory scratch("comtrade_bad");
    const SyntheticRecording r = threePhaseRecording(DataFormat::Ascii, 10000.0, 100);
    const std::string stem = scratch.file("bad");
    ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
    std::filesystem::resize_file(stem + ".dat", std::filesystem::file_size(stem + ".dat") - 6);
    const ToolResult result = runTool("run --comtrade '" + stem + ".cfg' --output '" + stem + ".out.csv'", scratch);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("bad.dat:100: expected 8 fields"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(stem + ".out.csv"));
}

TEST(RunComtrade, SeveralFilesOneFailingLeavesTheOthersWhole) {
    ScratchDirectory scratch("comtrade_batch");
    const SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 4800.0, 2400);
    ASSERT_TRUE(writeComtrade(scratch.file("one"), r.config, r.data));
    ASSERT_TRUE(writeCff(scratch.file("two.cff"), r.config, r.data));
    std::ofstream(scratch.file("broken.cfg")) << "station,dev,2013\r\n3,3A\r\n";
    std::filesystem::create_directories(scratch.file("out"));
    const std::string files = " --comtrade '" + scratch.file("one.cfg") + "' --comtrade '" + scratch.file("broken.cfg") +
                              "' --comtrade '" + scratch.file("two.cff") + "'";
    const ToolResult batch =
        runTool("run --build auto --jobs 2 --output-dir '" + scratch.file("out") + "'" + files, scratch);
    EXPECT_EQ(batch.status, 2);
    EXPECT_NE(batch.err.find("broken.cfg: FAILED (exit 2): "), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("broken.cfg:2: the channel count line needs 3"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("one.cfg: done, 5000 samples at the 10k build"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("2 of 3 files done; failed: " + scratch.file("broken.cfg")), std::string::npos)
        << batch.err;
    EXPECT_FALSE(std::filesystem::exists(scratch.file("out/broken.out.csv")));

    // Each output is what a run of that file alone writes.
    const ToolResult alone = runTool("run --build auto --comtrade '" + scratch.file("one.cfg") + "'", scratch);
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_TRUE(readWholeFile(scratch.file("out/one.out.csv")) == alone.out);
    EXPECT_TRUE(readWholeFile(scratch.file("out/two.out.csv")) == alone.out);
}

TEST(RunComtrade, UsageFaults) {
    ScratchDirectory scratch("comtrade_usage");
    const struct {
        const char* arguments;
        const char* says;
    } cases[] = {
        {"run --comtrade a.cfg --comtrade b.cfg --output x.csv", "give --output-dir DIR, not --output"},
        {"run --comtrade a.cfg --build 8k", "unknown build '8k'"},
        {"run --comtrade a.cfg --primary --secondary", "give either --primary or --secondary"},
        {"run --comtrade a.cfg --phases VA,VB", "--phases needs three channels"},
        {"run --comtrade a.cfg --jobs 0", "jobs"},
        {"run --jobs 2", "give either --input FILE or --signal NAME"},
        {"run --input a.csv --build auto", "a.csv: cannot open"},
        {"run --signal steady --build auto", "--build auto needs an input file"},
        {"run --input a.csv --input b.csv --plot p.html", "--plot takes one input file"},
        {"run --input a.csv --format xml", "xml"},
    };
    for (const auto& c : cases) {
        const ToolResult result = runTool(c.arguments, scratch);
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.arguments << ": " << result.err;
    }
}

// A recording off nominal (51.5 Hz) with two gaps in phase b: 8 samples
// (within the bridge's proven span of 2 ms, 20 samples at 10 kHz) are
// bridged without a mark, the reports staying with the gap-free
// recording's within a small part of the class-P limits; 30 samples are
// bridged too, but the reports resting on them are marked ("do not use")
// from the sample past the span until the filters' memory has passed.
TEST(RunComtrade, AShortGapIsBridgedUnmarkedALongerOneMarked) {
    ScratchDirectory scratch("comtrade_gap");
    const SyntheticRecording whole = threePhaseRecording(DataFormat::Binary, 10000.0, 20000, 100.0, 2013, 51.5);
    SyntheticRecording gap = whole;
    for (std::size_t i = 5000; i < 5008; ++i) gap.data.analogRaw[1][i] = std::nan("");
    for (std::size_t i = 15000; i < 15030; ++i) gap.data.analogRaw[1][i] = std::nan("");
    ASSERT_TRUE(writeComtrade(scratch.file("whole"), whole.config, whole.data));
    ASSERT_TRUE(writeComtrade(scratch.file("gap"), gap.config, gap.data));
    const std::string options = " --in-process --reports-only --quality";
    const ToolResult reference = runTool("run --comtrade '" + scratch.file("whole.cfg") + "'" + options, scratch);
    const ToolResult bridged = runTool("run --comtrade '" + scratch.file("gap.cfg") + "'" + options, scratch);
    ASSERT_EQ(bridged.status, 0) << bridged.err;
    EXPECT_NE(bridged.err.find("warning: " + scratch.file("gap.dat") + ": 38 sample(s) with missing values, the "
                                                                        "first is sample 5001; 38 bridged"),
              std::string::npos)
        << bridged.err;
    std::istringstream a(reference.out), b(bridged.out);
    std::string lineA, lineB;
    std::getline(a, lineA);
    std::getline(b, lineB);
    EXPECT_EQ(lineB, lineA);
    EXPECT_EQ(lineB.substr(lineB.rfind(',') + 1), "quality");
    // Marks from the 21st sample of the long gap (1.502 s after the first
    // sample) until the filters' memory of 0.12 s after its last.
    const double markStart = 1.502, markEnd = 1.503 + 0.12;
    int marked = 0;
    double firstTime = -1.0;
    while (std::getline(a, lineA) && std::getline(b, lineB)) {
        double ta, ma, fa, ra, tb, mb, fb, rb;
        int qa, qb;
        ASSERT_EQ(std::sscanf(lineA.c_str(), "%lf,%lf,%*[^,],%lf,%lf,%*d,%*d,%d", &ta, &ma, &fa, &ra, &qa), 5);
        ASSERT_EQ(std::sscanf(lineB.c_str(), "%lf,%lf,%*[^,],%lf,%lf,%*d,%*d,%d", &tb, &mb, &fb, &rb, &qb), 5);
        if (firstTime < 0) firstTime = std::floor(ta);
        const double elapsed = ta - firstTime - 0.25;  // the recording starts at .25 s
        EXPECT_EQ(qa & kQualityMissing, 0);
        // A report's timestamp is one 50 Hz period before the sample that
        // gives it.
        const double at = elapsed + 0.02;
        if (std::fabs(at - markStart) > 2e-3 && std::fabs(at - markEnd) > 2e-3) {
            EXPECT_EQ((qb & kQualityMissing) != 0, at > markStart && at < markEnd) << elapsed;
        }
        // Start-up is the same in both runs; the gaps add their bits: bridged
        // where the report rests on the short gap's estimated samples.
        EXPECT_EQ(qb & ~(kQualityMissing | kQualityBridged), qa) << elapsed;
        marked += (qb & kQualityMissing) != 0;
        if (at > 0.503 + 2e-3 && at < 0.5 + 0.12 - 2e-3) {
            EXPECT_NE(qb & kQualityBridged, 0) << elapsed;
        }
        if (at > 1.49) continue;
        EXPECT_NEAR(mb, ma, 1e-3 * ma) << elapsed;
        EXPECT_NEAR(fb, fa, 1e-3) << elapsed;
        EXPECT_NEAR(rb, ra, 0.05) << elapsed;
    }
    // Reports every 20 ms across the 121 ms marked.
    EXPECT_GE(marked, 5);
}

// A frequency-tracking recorder: a new rate every cycle (32 samples a
// cycle of the swinging frequency). The recording measures like the same
// signal sampled at the build's rate: the frequency its section rates
// imply, and no mark where a section ends.
TEST(RunComtrade, AFrequencyTrackingRecordingMeasuresLikeOneAtTheBuildRate) {
    ScratchDirectory scratch("comtrade_tracking");
    // f(t) = 50 + 0.5 sin(2 pi t): angle 2 pi 50 t + 0.5 (1 - cos 2 pi t).
    auto angle = [](double t) { return 2 * M_PI * 50.0 * t + 0.5 * (1.0 - std::cos(2 * M_PI * t)); };
    SyntheticRecording r = threePhaseRecording(DataFormat::Float32, 1600.0, 4);
    ComtradeConfig& c = r.config;
    c.rates.clear();
    for (auto& a : c.analogs) a.a = 1.0, a.b = 0.0;
    std::vector<double> times;
    double t = 0.0;
    while (t < 2.0) {
        const double rate = std::round(32.0 * (50.0 + 0.5 * std::sin(2 * M_PI * t)) * 64.0) / 64.0;
        for (int i = 0; i < 32; ++i) times.push_back(t + i / rate);
        t += 32.0 / rate;
        c.rates.push_back({rate, static_cast<int64_t>(times.size())});
    }
    ASSERT_GT(c.rates.size(), 90u);
    r.data.analogRaw.assign(4, std::vector<double>(times.size()));
    r.data.status.assign(2, std::vector<int>(times.size(), 0));
    for (std::size_t i = 0; i < times.size(); ++i) {
        for (int k = 0; k < 4; ++k) r.data.analogRaw[k][i] = 100.0 * std::cos(angle(times[i]) - 2 * M_PI * (k % 3) / 3.0);
    }
    const std::string stem = scratch.file("tracking");
    ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
    const ComtradeRecording rec = readComtrade(stem + ".cfg", {});
    {
        std::FILE* f = std::fopen(scratch.file("reference.csv").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n");
        for (int k = 0; k / 1e4 <= times.back(); ++k) {
            const double at = k / 1e4;
            std::fprintf(f, "%.17g,%.17g,%.17g,%.17g,50,0,0,1,0,0,0,50,1\n", rec.origin.timeOf(at),
                         static_cast<double>(static_cast<float>(100.0 * std::cos(angle(at)))),
                         static_cast<double>(static_cast<float>(100.0 * std::cos(angle(at) - 2 * M_PI / 3))),
                         static_cast<double>(static_cast<float>(100.0 * std::cos(angle(at) - 4 * M_PI / 3))));
        }
        std::fclose(f);
    }
    const ToolResult recorded = runTool("run --in-process --reports-only --build 10k --comtrade '" + stem + ".cfg'", scratch);
    const ToolResult reference = runTool("run --in-process --reports-only --input '" + scratch.file("reference.csv") + "'", scratch);
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    ASSERT_EQ(reference.status, 0) << reference.err;
    std::istringstream a(recorded.out), b(reference.out);
    std::string lineA, lineB;
    int compared = 0;
    double worstFrequency = 0.0, worstMagnitude = 0.0;
    while (std::getline(a, lineA) && std::getline(b, lineB)) {
        double ta, ma, fa, tb, mb, fb;
        if (std::sscanf(lineA.c_str(), "%lf,%lf,%*[^,],%lf", &ta, &ma, &fa) != 3) continue;
        ASSERT_EQ(std::sscanf(lineB.c_str(), "%lf,%lf,%*[^,],%lf", &tb, &mb, &fb), 3);
        ASSERT_NEAR(ta, tb, 1e-6);
        if (ta - rec.origin.timeOf(0.0) < 0.2) continue;  // the filters settling
        worstFrequency = std::max(worstFrequency, std::fabs(fa - fb));
        worstMagnitude = std::max(worstMagnitude, std::fabs(ma - mb) / mb);
        ++compared;
    }
    EXPECT_GT(compared, 80);
    EXPECT_LT(worstFrequency, 1e-4) << "Hz";
    EXPECT_LT(worstMagnitude, 1e-4);
}

}  // namespace

namespace {

// The rows of a run's output CSV.
std::vector<ModelOutputs> reportsOf(const std::string& csv) {
    std::string error;
    std::unique_ptr<OutputRows> rows = openOutputRows(csv, error);
    EXPECT_TRUE(rows) << error;
    std::vector<ModelOutputs> all;
    ModelOutputs out;
    while (rows && rows->next(out) == OutputRows::Status::Row) all.push_back(out);
    return all;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// A 60 Hz recording whose line frequency is 59.94 (rounded to 60), 0 or
// blank (50 assumed): the choice is said once; at the nominal 60 Hz the
// angle stands still at 0.3 rad, at 50 Hz it would turn at 10 Hz.
TEST(RunComtrade, LineFrequencyThatIsNot50Or60IsSaidWithTheNominalChosen) {
    ScratchDirectory scratch("comtrade_lf");
    struct Case {
        double lf;
        const char* said;  // in the warning; empty: no warning
        bool sixty;
    };
    const Case cases[] = {{60.0, "", true},
                          {59.94, "the line frequency 59.94 Hz is not 50 or 60: the nearer, 60 Hz, is taken", true},
                          {0.0, "the line frequency is '0': a nominal 50 Hz is assumed", false},
                          {std::nan(""), "the line frequency is blank: a nominal 50 Hz is assumed", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lf);
        SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 10000.0, 10000, 100.0, 2013, 60.0);
        r.config.lineFrequency = c.lf;
        const std::string stem = scratch.file("sixty");
        ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
        const ToolResult run = runTool("run --in-process --reports-only --comtrade '" + stem + ".cfg' --output '" +
                                           stem + ".csv'",
                                       scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        if (*c.said == '\0') {
            EXPECT_EQ(run.err.find("line frequency"), std::string::npos) << run.err;
        } else {
            EXPECT_EQ(occurrences(run.err, c.said), 1u) << run.err;
            EXPECT_NE(run.err.find("--nominal-frequency"), std::string::npos) << run.err;
        }
        const std::vector<ModelOutputs> reports = reportsOf(stem + ".csv");
        ASSERT_GT(reports.size(), 20u);
        const ModelOutputs& last = reports.back();
        EXPECT_NEAR(last.frequency, 60.0, 1e-3);
        if (c.sixty) {
            EXPECT_NEAR(last.angle, 0.3, 1e-3);
        }
        // The option decides without a word.
        const ToolResult told = runTool("run --in-process --reports-only --nominal-frequency 60 --comtrade '" + stem +
                                            ".cfg' --output '" + stem + ".csv'",
                                        scratch);
        EXPECT_EQ(told.err.find("line frequency"), std::string::npos) << told.err;
    }
}

// Three voltage channels listed C, B, A by their phase fields: taken in
// that order, with a note, they measure the set's true positive sequence.
// `--phases` by number, with or without the An spelling, picks the same.
TEST(RunComtrade, PhaseFieldsOrderTheThreeVoltages) {
    ScratchDirectory scratch("comtrade_cba");
    SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 10000.0, 10000);
    std::swap(r.data.analogRaw[0], r.data.analogRaw[2]);
    const char* names[3] = {"U1", "U2", "U3"};
    const char* phases[3] = {"C", "B", "A"};
    for (int k = 0; k < 3; ++k) {
        r.config.analogs[static_cast<std::size_t>(k)].id = names[k];
        r.config.analogs[static_cast<std::size_t>(k)].phase = phases[k];
    }
    const std::string stem = scratch.file("cba");
    ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
    const std::string base = "run --in-process --reports-only --comtrade '" + stem + ".cfg' --output '" + stem + ".csv'";
    for (const char* phasesOption : {"", " --phases 3,2,1", " --phases A3,A2,a1"}) {
        SCOPED_TRACE(phasesOption);
        const ToolResult run = runTool(base + phasesOption, scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("phases swapped"), std::string::npos) << run.err;
        EXPECT_EQ(occurrences(run.err, "name them in another order than the file's"), *phasesOption ? 0u : 1u)
            << run.err;
        const std::vector<ModelOutputs> reports = reportsOf(stem + ".csv");
        ASSERT_GT(reports.size(), 20u);
        // Peak 100 (kV, primary values) a phase.
        EXPECT_NEAR(reports.back().magnitude, 100.0, 0.5);
        EXPECT_NEAR(reports.back().angle, 0.3, 1e-3);
    }
}
