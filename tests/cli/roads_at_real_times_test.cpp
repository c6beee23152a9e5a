// One off-nominal signal with a phase step through every road the tool
// reads (13-column CSV, plain CSV, plain CSV with --build auto, COMTRADE
// ASCII, BINARY and FLOAT32, a recording with two rate sections,
// sampled-values captures at 4000, 4800 and 14 400 Hz, HDF5 read back),
// each at three time origins: 0, a time of day with a fraction and a Unix
// time near 1.7e9 with a fraction. Where a road hands the model the same
// samples, its reports are the same bits as the built-in signal's; where it
// quantises or resamples, they agree within the tolerance written beside
// the road, with its reason. The largest differences are printed as a table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_writer.h"
#include "io/output_reader.h"
#include "signals/built_in_signals.h"
#include "tests/support/tool_process.h"

namespace {

constexpr double kSignalFrequency = 51.5;  // off nominal (50 Hz)
constexpr double kDuration = 1.0;          // s; the phase step at 0.5 s
constexpr double kSettled = 0.25;          // s after the start: reports compared from here

struct Samples {
    std::vector<double> time;
    std::vector<std::array<double, 3>> phases;
};

SignalShape shapeAt(double origin, double duration, double eventTime) {
    SignalShape shape;
    shape.frequency = kSignalFrequency;
    shape.startTime = origin;
    shape.duration = duration;
    shape.eventTime = eventTime;
    return shape;
}

Samples samplesOf(double rate, double origin, double duration = kDuration, double eventTime = 0.5) {
    std::string error;
    auto source = makeSignalSource("phase-step", shapeAt(origin, duration, eventTime), ModelInputs{}, rate, error);
    EXPECT_TRUE(source) << error;
    Samples s;
    ModelInputs in;
    while (source && source->next(in) == SampleSource::Status::Sample) {
        s.time.push_back(in.time);
        s.phases.push_back({in.phase[0], in.phase[1], in.phase[2]});
    }
    return s;
}

std::string origins(double origin) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", origin);
    return text;
}

void writeCsv(const std::string& path, const Samples& s, bool plain) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, plain ? "time,va,vb,vc\n"
                          : "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,"
                            "report_mode\n");
    for (std::size_t k = 0; k < s.time.size(); ++k) {
        std::fprintf(f, "%.17g,%.17g,%.17g,%.17g%s\n", s.time[k], s.phases[k][0], s.phases[k][1], s.phases[k][2],
                     plain ? "" : ",50,0,0,1,0,0,0,50,1");
    }
    std::fclose(f);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
CivilTime civilOf(double origin) {
    const int64_t days = static_cast<int64_t>(std::floor(origin / 86400.0));
    const double ofDay = origin - static_cast<double>(days) * 86400.0;
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    const int64_t second = static_cast<int64_t>(std::floor(ofDay));
    const int64_t micro = std::llround((ofDay - static_cast<double>(second)) * 1e6);
    return CivilTime{year, month, day, second, micro * 1000, 6};
}

// A recording of the samples (sections: rate and count each).
void writeRecording(const std::string& stem, DataFormat format, double origin,
                    const std::vector<std::pair<double, Samples>>& sections) {
    ComtradeConfig c;
    c.station = "Roads";
    c.device = "orvane-test";
    c.revision = format == DataFormat::Ascii ? 1999 : 2013;
    c.format = format;
    c.lineFrequency = 50.0;
    c.start = civilOf(origin);
    c.trigger = c.start;
    const bool floats = format == DataFormat::Float32;
    const char* names[3] = {"VA", "VB", "VC"};
    const char* phases[3] = {"A", "B", "C"};
    for (int k = 0; k < 3; ++k) {
        ComtradeAnalogChannel a;
        a.number = k + 1;
        a.id = names[k];
        a.phase = phases[k];
        a.unit = "V";
        // Integer formats: a count of 10 mV (100 V peak is 10 000 counts,
        // within 16 bits and below ASCII's old missing mark 99999).
        a.a = floats ? 1.0 : 0.01;
        a.b = 0.0;
        a.primary = 1.0;
        a.secondary = 1.0;
        a.scaling = 'P';
        c.analogs.push_back(a);
    }
    ComtradeData data;
    data.analogRaw.assign(3, {});
    int64_t end = 0;
    for (const auto& [rate, s] : sections) {
        end += static_cast<int64_t>(s.time.size());
        c.rates.push_back({rate, end});
        for (const auto& abc : s.phases) {
            for (int k = 0; k < 3; ++k) data.analogRaw[static_cast<std::size_t>(k)].push_back(abc[static_cast<std::size_t>(k)] / c.analogs[static_cast<std::size_t>(k)].a);
        }
    }
    ASSERT_TRUE(writeComtrade(stem, c, data));
}

std::vector<ModelOutputs> reportsOf(const std::string& path) {
    std::string error;
    auto rows = openOutputRows(path, error);
    EXPECT_TRUE(rows) << error;
    std::vector<ModelOutputs> out;
    ModelOutputs row;
    while (rows && rows->next(row) == OutputRows::Status::Row) out.push_back(row);
    return out;
}

struct Difference {
    double magnitude = 0.0;  // relative
    double frequency = 0.0;  // Hz
    double angle = 0.0;      // rad
    double timestamp = 0.0;  // s
    std::size_t compared = 0;
};

// Reports of `got` against `want` at the same instants, from kSettled on.
// A recording (and a capture) counts Time from UTC midnight of its first
// sample: whole days are added to its timestamps.
Difference compare(const std::vector<ModelOutputs>& want, const std::vector<ModelOutputs>& got, double origin) {
    Difference d;
    if (want.empty() || got.empty()) return d;
    const double shift = std::round((want.front().timestamp - got.front().timestamp) / 86400.0) * 86400.0;
    std::size_t j = 0;
    for (const ModelOutputs& w : want) {
        if (w.timestamp - origin < kSettled) continue;
        while (j < got.size() && got[j].timestamp + shift < w.timestamp - 1e-4) ++j;
        if (j == got.size()) break;
        const ModelOutputs& g = got[j];
        if (std::fabs(g.timestamp + shift - w.timestamp) > 1e-4) continue;
        d.timestamp = std::max(d.timestamp, std::fabs(g.timestamp + shift - w.timestamp));
        d.magnitude = std::max(d.magnitude, std::fabs(g.magnitude - w.magnitude) / w.magnitude);
        d.frequency = std::max(d.frequency, std::fabs(g.frequency - w.frequency));
        d.angle = std::max(d.angle, std::fabs(std::remainder(g.angle - w.angle, 2 * M_PI)));
        ++d.compared;
    }
    return d;
}

struct Tolerance {
    double magnitude, frequency, angle;
};

class RoadsAtRealTimes : public testing::Test {
protected:
    static void TearDownTestSuite() {
        std::printf("\nroad x origin: largest difference from the built-in signal (|dmag|/mag, |df| Hz, |dangle| rad)\n");
        for (const auto& [road, cells] : table()) {
            std::printf("%-34s", road.c_str());
            for (const auto& cell : cells) std::printf(" | %s", cell.c_str());
            std::printf("\n");
        }
    }
    static std::map<std::string, std::vector<std::string>>& table() {
        static std::map<std::string, std::vector<std::string>> cells;
        return cells;
    }
    static void record(const std::string& road, const Difference& d) {
        char text[96];
        std::snprintf(text, sizeof text, "%.1e, %.1e, %.1e", d.magnitude, d.frequency, d.angle);
        table()[road].push_back(text);
    }
};

const double kOrigins[] = {0.0, 80000.37, 1700000123.37};

TEST_F(RoadsAtRealTimes, SameSamplesGiveTheSameBitsAndQuantisedOnesAgree) {
    ScratchDirectory scratch("roads");
    for (const double origin : kOrigins) {
        SCOPED_TRACE("origin " + origins(origin));
        const std::string at = " --start-time " + origins(origin);
        const std::string common = " --in-process --reports-only --output ";
        const std::string signal = " --signal phase-step --frequency 51.5 --duration 1";
        std::map<std::string, std::vector<ModelOutputs>> reference;
        for (const char* build : {"10k", "4k", "14p4k"}) {
            const std::string out = scratch.file(std::string("ref_") + build + ".csv");
            const ToolResult r = runTool("run --build " + std::string(build) + signal + at + common + out, scratch);
            ASSERT_EQ(r.status, 0) << r.err;
            reference[build] = reportsOf(out);
        }
        const std::string refBytes = readWholeFile(scratch.file("ref_10k.csv"));

        // Same samples: the same bits.
        const Samples s = samplesOf(10000.0, origin);
        writeCsv(scratch.file("full.csv"), s, false);
        writeCsv(scratch.file("plain.csv"), s, true);
        struct Exact {
            std::string road, arguments;
        };
        const Exact exact[] = {
            {"13-column CSV", "--input " + scratch.file("full.csv")},
            {"plain CSV", "--input " + scratch.file("plain.csv")},
            {"plain CSV, --build auto", "--build auto --input " + scratch.file("plain.csv")},
        };
        for (const Exact& e : exact) {
            const std::string out = scratch.file("exact.csv");
            const ToolResult r = runTool("run " + e.arguments + common + out, scratch);
            ASSERT_EQ(r.status, 0) << e.road << ": " << r.err;
            EXPECT_EQ(readWholeFile(out), refBytes) << e.road;
            record(e.road, compare(reference["10k"], reportsOf(out), origin));
        }
        {
            const std::string out = scratch.file("out.h5");
            const ToolResult r = runTool("run --build 10k" + signal + at + common + out, scratch);
            ASSERT_EQ(r.status, 0) << r.err;
            const std::vector<ModelOutputs> back = reportsOf(out);
            ASSERT_EQ(back.size(), reference["10k"].size());
            for (std::size_t k = 0; k < back.size(); ++k) {
                EXPECT_EQ(std::memcmp(&back[k].magnitude, &reference["10k"][k].magnitude, sizeof(double)), 0);
                EXPECT_EQ(std::memcmp(&back[k].timestamp, &reference["10k"][k].timestamp, sizeof(double)), 0);
            }
            record("HDF5 read back", compare(reference["10k"], back, origin));
        }

        // Recordings: Time counts from UTC midnight of the first sample, so
        // the model works on another Time (rounding differs in the last
        // bits) and the values are quantised by the format.
        struct Recorded {
            std::string road;
            DataFormat format;
            // FLOAT32 rounds each value to 24 bits (6e-8 relative); the
            // integer formats count 10 mV on 100 V (5e-5 at most a sample,
            // averaged down by the filters). The angle also carries the
            // reference's own time resolution: near 1.7e9 s its sample
            // times are rounded to 2.4e-7 s, 7.7e-5 rad at 51.5 Hz, while
            // the recording's time of day is finer.
            Tolerance tolerance;
        };
        const Recorded recorded[] = {
            {"COMTRADE 2013 FLOAT32", DataFormat::Float32, {1e-6, 1e-4, 2e-4}},
            {"COMTRADE 1999 ASCII (10 mV)", DataFormat::Ascii, {2e-5, 2e-4, 2e-4}},
            {"COMTRADE 2013 BINARY (10 mV)", DataFormat::Binary, {2e-5, 2e-4, 2e-4}},
        };
        for (const Recorded& rec : recorded) {
            const std::string stem = scratch.file("rec");
            writeRecording(stem, rec.format, origin, {{10000.0, s}});
            const std::string out = scratch.file("rec.csv");
            const ToolResult r = runTool("run --comtrade " + stem + ".cfg" + common + out, scratch);
            ASSERT_EQ(r.status, 0) << rec.road << ": " << r.err;
            const Difference d = compare(reference["10k"], reportsOf(out), origin);
            EXPECT_GT(d.compared, 30u) << rec.road;
            EXPECT_LE(d.magnitude, rec.tolerance.magnitude) << rec.road;
            EXPECT_LE(d.frequency, rec.tolerance.frequency) << rec.road;
            EXPECT_LE(d.angle, rec.tolerance.angle) << rec.road;
            record(rec.road, d);
        }
        {
            // Two rate sections, 10 kHz then 4800 Hz from 0.4 s: each
            // instant interpolated by the cubic through four samples; the
            // phase step at 0.5 s falls in the 4800 Hz part, where a cubic
            // cannot follow a step exactly. 1e-3 of the magnitude and
            // 0.01 Hz cover it.
            const Samples first = samplesOf(10000.0, origin, 0.4, 0.5);
            const Samples second = samplesOf(4800.0, origin + 0.4, 0.6, 0.1);
            const std::string stem = scratch.file("two");
            writeRecording(stem, DataFormat::Float32, origin, {{10000.0, first}, {4800.0, second}});
            const std::string out = scratch.file("two.csv");
            const ToolResult r = runTool("run --comtrade " + stem + ".cfg" + common + out, scratch);
            ASSERT_EQ(r.status, 0) << r.err;
            const Difference d = compare(reference["10k"], reportsOf(out), origin);
            EXPECT_GT(d.compared, 30u);
            EXPECT_LE(d.magnitude, 1e-4);
            EXPECT_LE(d.frequency, 1e-2);
            EXPECT_LE(d.angle, 2e-3);
            record("COMTRADE two rate sections", d);
        }

        // Sampled values: counts of 10 mV, and the capture's own time base
        // (each sample at its second plus smpCnt over the rate). 4000 and
        // 14 400 Hz run at their build; 4800 Hz is resampled to 10 kHz.
        struct Captured {
            int rate;
            std::string build;
            Tolerance tolerance;
        };
        const Captured captured[] = {
            {4000, "4k", {2e-5, 2e-4, 2e-4}},
            {4800, "10k", {1e-4, 1e-2, 2e-3}},
            {14400, "14p4k", {2e-5, 2e-4, 2e-4}},
        };
        for (const Captured& c : captured) {
            const std::string pcap = scratch.file("sv.pcap");
            const ToolResult published = runTool("sv-publish" + signal + at + " --rate " + std::to_string(c.rate) +
                                                     " --pcap " + pcap,
                                                 scratch);
            ASSERT_EQ(published.status, 0) << published.err;
            const std::string out = scratch.file("sv.csv");
            const ToolResult r = runTool("run --build auto --sv-pcap " + pcap + common + out, scratch);
            ASSERT_EQ(r.status, 0) << r.err;
            const Difference d = compare(reference[c.build], reportsOf(out), origin);
            const std::string road = "SV capture " + std::to_string(c.rate) + " Hz";
            EXPECT_GT(d.compared, 20u) << road;
            EXPECT_LE(d.magnitude, c.tolerance.magnitude) << road;
            EXPECT_LE(d.frequency, c.tolerance.frequency) << road;
            EXPECT_LE(d.angle, c.tolerance.angle) << road;
            record(road, d);
        }
    }
}

}  // namespace

namespace {

// One check, every road: run and serve refuse a file at another rate with
// the same words, and read a plain CSV at Unix times at its own rate.
TEST(OneCheckEveryRoad, RunAndServeRefuseAFileAtAnotherRateAlike) {
    ScratchDirectory scratch("roads_refuse");
    const std::string path = scratch.file("at4800.csv");
    writeCsv(path, samplesOf(4800.0, 1700000123.37), true);
    const std::string says = path +
                             ": the samples are at 4800 Hz (mean of 4799 steps over the first 0.999792 s, whole hertz), but "
                             "the 10k build takes 10000 Hz";
    for (const std::string command : {"run --in-process", "serve --listen 127.0.0.1:0"}) {
        const ToolResult r = runTool(command + " --input " + path, scratch);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_NE(r.err.find(says), std::string::npos) << command << ": " << r.err;
    }
}

}  // namespace
