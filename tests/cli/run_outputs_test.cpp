// The outputs people open: an HDF5 file with every value of the CSV to the
// bit, read by our reader, by h5py and by h5dump; the reports as COMTRADE,
// read back by our own reader; the HTML page of a run, its embedded numbers
// and what a browser draws of it. No output survives a failed run.
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/comtrade/cfg_parser.h"
#include "io/comtrade/dat_reader.h"
#include "io/output_reader.h"
#include "tests/support/tool_process.h"

namespace {

std::vector<ModelOutputs> readRows(const std::string& path) {
    std::string error;
    std::unique_ptr<OutputRows> rows = openOutputRows(path, error);
    EXPECT_TRUE(rows) << error;
    std::vector<ModelOutputs> all;
    if (!rows) return all;
    ModelOutputs out;
    OutputRows::Status status;
    while ((status = rows->next(out)) == OutputRows::Status::Row) all.push_back(out);
    EXPECT_EQ(status, OutputRows::Status::End) << rows->error();
    return all;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectSameRows(const std::vector<ModelOutputs>& a, const std::vector<ModelOutputs>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(sameBits(a[i].timestamp, b[i].timestamp) && sameBits(a[i].magnitude, b[i].magnitude) &&
                    sameBits(a[i].angle, b[i].angle) && sameBits(a[i].frequency, b[i].frequency) &&
                    sameBits(a[i].rocof, b[i].rocof) && a[i].reportStrobe == b[i].reportStrobe &&
                    a[i].activeReportRate == b[i].activeReportRate)
            << "row " << i;
    }
}

std::string capture(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    ::pclose(pipe);
    return text;
}

std::size_t entriesIn(const ScratchDirectory& scratch) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch.path())) ++n;
    return n;
}

const char* const kPhaseStep = "run --signal phase-step --duration 1 --magnitude-coeffs 0,0.001,0.95 ";

TEST(RunOutputs, Hdf5HoldsTheCsvValuesToTheBitAndDescribesItsRun) {
    ScratchDirectory scratch("hdf5");
    const std::string csv = scratch.file("run.csv"), h5 = scratch.file("run.h5"), reports = scratch.file("rep.hdf5");
    ASSERT_EQ(runTool(std::string(kPhaseStep) + "--output '" + csv + "'", scratch).status, 0);
    ASSERT_EQ(runTool(std::string(kPhaseStep) + "--output '" + h5 + "'", scratch).status, 0);
    ASSERT_EQ(runTool(std::string(kPhaseStep) + "--reports-only --output '" + reports + "'", scratch).status, 0);
    const std::vector<ModelOutputs> rows = readRows(csv);
    ASSERT_EQ(rows.size(), 10000u);
    expectSameRows(readRows(h5), rows);
    std::vector<ModelOutputs> reportRows;
    for (const ModelOutputs& r : rows) {
        if (r.reportStrobe) reportRows.push_back(r);
    }
    expectSameRows(readRows(reports), reportRows);

    // h5dump, by its own parser: every frequency as 17 digits.
    if (::access("/usr/bin/h5dump", X_OK) == 0) {
        std::istringstream dump(capture("/usr/bin/h5dump -d /frequency -m %.17g -y -w 0 '" + h5 + "'"));
        std::string text((std::istreambuf_iterator<char>(dump)), {});
        const std::size_t data = text.find("DATA {");
        ASSERT_NE(data, std::string::npos) << text;
        std::istringstream values(text.substr(data + 6));
        std::size_t i = 0;
        std::string token;
        while (values >> token && token != "}") {
            if (token.back() == ',') token.pop_back();
            ASSERT_LT(i, rows.size());
            EXPECT_TRUE(sameBits(std::strtod(token.c_str(), nullptr), rows[i].frequency)) << i << " " << token;
            ++i;
        }
        EXPECT_EQ(i, rows.size());
    } else {
        std::printf("h5dump not installed (hdf5-tools): that check skipped\n");
    }

    // h5py: the bits of every dataset against the CSV, and the attributes.
    if (::access("/usr/bin/python3", X_OK) != 0 || capture("/usr/bin/python3 -c 'import h5py' 2>&1") != "") {
        GTEST_SKIP() << "/usr/bin/python3 with h5py (python3-h5py) is not installed";
    }
    const std::string script = scratch.file("check.py");
    std::ofstream(script) << R"(import sys, h5py, numpy, pandas
f = h5py.File(sys.argv[1], "r")
c = pandas.read_csv(sys.argv[2], float_precision="round_trip")
for name in c.columns:
    a = f[name][...]
    b = c[name].to_numpy()
    if a.dtype.kind == "f":
        same = numpy.array_equal(a.view(numpy.uint64), b.astype(numpy.float64).view(numpy.uint64))
    else:
        same = a.dtype == numpy.int32 and numpy.array_equal(a, b)
    if not same or f[name].compression != "gzip" or not f[name].shuffle:
        print("differs or not compressed:", name)
for key in ("units", "description"):
    if key not in f["magnitude"].attrs: print("no", key)
for key in ("tool_version", "model", "sample_rate_hz", "deliverable", "input", "command_line",
            "magnitude_convention", "angle_reference", "time_origin_utc", "start_time_utc",
            "nominal_frequency_hz", "report_rate", "magnitude_coeffs"):
    if key not in f.attrs: print("no attribute", key)
print("checked", len(c), list(f.attrs["magnitude_coeffs"]))
)";
    const std::string said = capture("/usr/bin/python3 '" + script + "' '" + h5 + "' '" + csv + "' 2>&1");
    EXPECT_EQ(said, "checked 10000 [0.0, 0.001, 0.95]\n");
}

TEST(RunOutputs, ReportsAsComtradeReadBackByOurReader) {
    ScratchDirectory scratch("comtrade_out");
    const std::string csv = scratch.file("run.csv"), cfg = scratch.file("rep.cfg");
    const std::string args = "run --signal phase-step --duration 2 --start-time 1765000000.25 --report-rate 25 ";
    ASSERT_EQ(runTool(args + "--reports-only --output '" + csv + "'", scratch).status, 0);
    ASSERT_EQ(runTool(args + "--output '" + cfg + "'", scratch).status, 0);
    const std::vector<ModelOutputs> reports = readRows(csv);
    ASSERT_GT(reports.size(), 40u);

    const ComtradeConfig config = parseCfg(readWholeFile(cfg), cfg);
    EXPECT_EQ(config.revision, 2013);
    EXPECT_EQ(config.format, DataFormat::Float32);
    ASSERT_EQ(config.analogs.size(), 4u);
    EXPECT_EQ(config.sampleCount(), static_cast<int64_t>(reports.size()));
    // Absolute time of the first report: 2025-12-06 05:46:40 UTC plus the
    // report instant's fraction.
    const double first = reports[0].timestamp;
    EXPECT_EQ(config.start.year, 2025);
    EXPECT_EQ(config.start.month, 12);
    EXPECT_EQ(config.start.day, 6);
    EXPECT_EQ(config.start.secondOfDay, static_cast<int64_t>(std::fmod(std::floor(first), 86400.0)));
    EXPECT_NEAR(static_cast<double>(config.start.nanoseconds), (first - std::floor(first)) * 1e9, 1.0);
    EXPECT_EQ(config.timeCodeMinutes, 0);
    DatReader dat(DatLocation{scratch.file("rep.dat")}, config, {0, 1, 2, 3});
    std::vector<double> stamps(reports.size() + 1);
    std::vector<double> values(4 * (reports.size() + 1));
    std::size_t read = 0;
    while (std::size_t n = dat.read(stamps.data() + read, values.data() + 4 * read, stamps.size() - read)) read += n;
    ASSERT_EQ(read, reports.size());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const double expected[4] = {reports[i].magnitude, reports[i].angle, reports[i].frequency, reports[i].rocof};
        for (int c = 0; c < 4; ++c) {
            const double want = static_cast<float>(expected[c]);
            const double got = values[4 * i + static_cast<std::size_t>(c)];
            EXPECT_TRUE(got == want || (std::isnan(got) && std::isnan(want))) << i << "," << c;
        }
    }
    EXPECT_EQ(config.rates.back().rate, 25.0);

    // From a recording: its UTC midnight plus the first report's time of
    // day keeps every nanosecond (added as whole seconds and fraction).
    const std::string fromRecording = scratch.file("north.cfg");
    ASSERT_EQ(runTool("run --comtrade tests/data/comtrade/north4800.cfg --output '" + fromRecording + "'", scratch)
                  .status,
              0);
    const ComtradeConfig north = parseCfg(readWholeFile(fromRecording), fromRecording);
    EXPECT_EQ(north.start.secondOfDay, 8 * 3600 + 59 * 60 + 59);
    EXPECT_EQ(north.start.nanoseconds, 980000000);
}

// The rate sections time every report as its timestamp does, after the
// hand-over from the start-up rate (50/s) to the asked one, which falls off
// both rates' grids: read by the format's own rule (elapsed time summed
// section by section), beside the .dat timestamps (microseconds).
TEST(RunOutputs, ComtradeRateSectionsAgreeWithTheReportTimes) {
    ScratchDirectory scratch("comtrade_sections");
    for (const char* options : {"--report-rate 10", "--nominal-frequency 60 --report-rate 60",
                                "--report-rate 10 --start-time 1765000000.25", "--report-rate 25 --start-time 80000.37"}) {
        SCOPED_TRACE(options);
        const std::string args = std::string("run --signal steady --duration 2 ") + options + " ";
        const std::string csv = scratch.file("r.csv"), cfg = scratch.file("r.cfg");
        ASSERT_EQ(runTool(args + "--reports-only --output '" + csv + "'", scratch).status, 0);
        ASSERT_EQ(runTool(args + "--output '" + cfg + "'", scratch).status, 0);
        const std::vector<ModelOutputs> reports = readRows(csv);
        const ComtradeConfig config = parseCfg(readWholeFile(cfg), cfg);
        ASSERT_EQ(config.sampleCount(), static_cast<int64_t>(reports.size()));
        ASSERT_TRUE(config.timedByRates());
        DatReader dat(DatLocation{scratch.file("r.dat")}, config, {0});
        std::vector<double> stamps(reports.size() + 1), values(reports.size() + 1);
        ASSERT_EQ(dat.read(stamps.data(), values.data(), stamps.size()), reports.size());
        double sectionStart = 0.0;
        int64_t previousEnd = 0;
        for (const RateSection& r : config.rates) {
            for (int64_t n = previousEnd; n < r.endSample; ++n) {
                const double t = sectionStart + static_cast<double>(n - previousEnd) / r.rate;
                const std::size_t i = static_cast<std::size_t>(n);
                EXPECT_NEAR(t, reports[i].timestamp - reports[0].timestamp, 1e-6) << "report " << n + 1;
                EXPECT_NEAR(stamps[i] * 1e-6, t, 1e-6) << "report " << n + 1;
            }
            sectionStart += static_cast<double>(r.endSample - previousEnd) / r.rate;
            previousEnd = r.endSample;
        }
    }
}

TEST(RunOutputs, SeveralRecordingsToHdf5InParallel) {
    ScratchDirectory scratch("hdf5_jobs");
    const ToolResult r = runTool("run --comtrade tests/data/comtrade/north4800.cfg --comtrade "
                                 "tests/data/comtrade/oldbay1991.cfg --build auto --format hdf5 --jobs 2 --output-dir '" +
                                     scratch.path().string() + "'",
                                 scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readRows(scratch.file("north4800.out.h5")).size(), 5000u);
    EXPECT_EQ(readRows(scratch.file("oldbay1991.out.h5")).size(), 22u);
    // The extension decides in any case.
    ASSERT_EQ(runTool("run --signal steady --duration 0.01 --output '" + scratch.file("UP.H5") + "'", scratch).status, 0);
    EXPECT_EQ(readWholeFile(scratch.file("UP.H5")).compare(0, 4, "\x89HDF"), 0);
}

// More rows than two HDF5 blocks, so that full blocks go through the writer
// thread while the next fills and the last one, partial, is written at the
// end; and the time split of --timing, whose parts lie within the total.
TEST(RunOutputs, ManyBlocksToHdf5AndTheTimingSplit) {
    ScratchDirectory scratch("hdf5_blocks");
    const std::string csv = scratch.file("run.csv"), h5 = scratch.file("run.h5");
    const std::string args = "run --in-process --signal phase-step --duration 14 --output ";
    ASSERT_EQ(runTool(args + "'" + csv + "'", scratch).status, 0);
    const ToolResult r = runTool(args + "'" + h5 + "' --timing", scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    expectSameRows(readRows(h5), readRows(csv));

    double preparing = -1, reading = -1, model = -1, writing = -1, total = -1, ratio = -1;
    double modelCpu = -1, processCpu = -1, cpuRatio[2] = {-1, -1};
    const std::size_t at = r.err.find("orvane run: preparing ");
    ASSERT_NE(at, std::string::npos) << r.err;
    ASSERT_EQ(std::sscanf(r.err.c_str() + at,
                          "orvane run: preparing %lf s, reading %lf s, model %lf s, writing %lf s, total %lf s "
                          "(%lf times the model's); CPU: model %lf s, process %lf s (the total is %lf times the "
                          "model's CPU, the process's CPU %lf times it)",
                          &preparing, &reading, &model, &writing, &total, &ratio, &modelCpu, &processCpu,
                          &cpuRatio[0], &cpuRatio[1]),
              10)
        << r.err;
    // The model's CPU time is spent within its wall time, and within the
    // process's.
    EXPECT_GT(modelCpu, 0.0);
    EXPECT_LE(modelCpu, model + 0.02);
    EXPECT_LE(modelCpu, processCpu + 0.01);
    EXPECT_GE(preparing, 0.0);
    EXPECT_GE(reading, 0.0);
    EXPECT_GT(model, 0.0);
    EXPECT_GE(writing, 0.0);
    // Each part is printed to a hundredth of a second.
    EXPECT_LE(preparing + reading + model + writing, total + 0.04);
    EXPECT_GE(preparing + reading + model + writing, total - 0.05);
    EXPECT_GE(ratio, 1.0);
    EXPECT_EQ(runTool("run --signal steady --duration 0.1 --timing --jobs 2 --output-dir .", scratch).status, 2);

    // The file size limit reached while the writer thread writes (as a full
    // disk would): the run fails with the write named, leaves no file, and
    // does not crash on its way out.
    const std::string limited = "cd '" + scratch.path().string() + "' && trap '' XFSZ && ulimit -f 40 && '" +
                                std::filesystem::absolute(toolPath()).string() + "' " + args +
                                "limited.h5 >/dev/null 2>err.txt";
    const int raw = std::system(limited.c_str());
    const std::string err = readWholeFile(scratch.file("err.txt"));
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw << ": " << err;
    EXPECT_NE(err.find("cannot write 'limited.h5'"), std::string::npos) << err;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        EXPECT_EQ(entry.path().filename().string().find("limited"), std::string::npos) << entry.path();
    }
}

TEST(RunOutputs, AFailedRunLeavesNoFileAndAnUnwritableFolderIsNamed) {
    ScratchDirectory scratch("outputs_fail");
    const std::string input = scratch.file("in.csv");
    {
        std::ofstream in(input);
        in << "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n";
        for (int i = 0; i < 70000; ++i) in << i * 1e-4 << ",1,2,3,50,0,0,1,0,0,0,50,1\n";
        in << "7.5,1,2,3,50,0,0,1,0,0,0,50,2\n";
    }
    for (const char* name : {"out.h5", "out.cfg"}) {
        const ToolResult r = runTool("run --input '" + input + "' --output '" + scratch.file(name) + "' --plot '" +
                                         scratch.file("out.html") + "'",
                                     scratch);
        EXPECT_EQ(r.status, 2) << name << r.err;
        EXPECT_EQ(entriesIn(scratch), 1u) << name << ": something was left beside the input";
    }
    // A folder that cannot be written: a path through a regular file
    // (ENOTDIR), which stops root too, where permission bits would not.
    for (const char* name : {"in.csv/out.h5", "in.csv/out.cfg"}) {
        const ToolResult r = runTool("run --signal steady --output '" + scratch.file(name) + "'", scratch);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("cannot create output '" + scratch.file(name)), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
    }
    EXPECT_EQ(runTool("run --signal steady --format netcdf --output x", scratch).status, 2);
}

TEST(RunOutputs, PlotPageCarriesTheRunAndABrowserDrawsIt) {
    ScratchDirectory scratch("plot");
    const std::string csv = scratch.file("run.csv"), h5 = scratch.file("run.h5"), page = scratch.file("run.html");
    ASSERT_EQ(runTool(std::string(kPhaseStep) + "--output '" + csv + "' --plot '" + page + "'", scratch).status, 0);
    ASSERT_EQ(runTool(std::string(kPhaseStep) + "--report-mode 0 --output '" + h5 + "'", scratch).status, 0);
    const std::vector<ModelOutputs> rows = readRows(csv);

    const std::string html = readWholeFile(page);
    EXPECT_EQ(html.find("http"), std::string::npos) << "the page must not fetch anything";
    const std::string open = "id=\"orvane-plot-data\">";
    const std::size_t begin = html.find(open);
    ASSERT_NE(begin, std::string::npos);
    const nlohmann::json data =
        nlohmann::json::parse(html.substr(begin + open.size(), html.find("</script>", begin) - begin - open.size()));
    ASSERT_EQ(data["runs"].size(), 1u);
    const nlohmann::json& run = data["runs"][0];
    EXPECT_EQ(run["rows"], rows.size());
    // The reports, one by one, to the bit.
    std::size_t k = 0;
    for (const ModelOutputs& r : rows) {
        if (!r.reportStrobe) continue;
        ASSERT_LT(k, run["report_points"]["timestamp"].size());
        EXPECT_TRUE(sameBits(run["report_points"]["timestamp"][k].get<double>(), r.timestamp));
        EXPECT_TRUE(sameBits(run["report_points"]["angle"][k].get<double>(), r.angle));
        EXPECT_TRUE(sameBits(run["report_points"]["frequency"][k].get<double>(), r.frequency));
        ++k;
    }
    EXPECT_EQ(k, run["report_points"]["timestamp"].size());
    // The columns keep the extremes of every quantity.
    double lo = INFINITY, hi = -INFINITY, columnLo = INFINITY, columnHi = -INFINITY;
    for (const ModelOutputs& r : rows) lo = std::fmin(lo, r.rocof), hi = std::fmax(hi, r.rocof);
    for (const auto& v : run["columns"]["rocof_min"]) columnLo = std::fmin(columnLo, v.get<double>());
    for (const auto& v : run["columns"]["rocof_max"]) columnHi = std::fmax(columnHi, v.get<double>());
    EXPECT_EQ(columnLo, lo);
    EXPECT_EQ(columnHi, hi);

    // Several files overlaid.
    const std::string both = scratch.file("both.html");
    ASSERT_EQ(runTool("plot '" + csv + "' '" + h5 + "' --output '" + both + "'", scratch).status, 0);
    EXPECT_NE(readWholeFile(both).find("\"label\":\"" + h5 + "\""), std::string::npos);
    EXPECT_EQ(runTool("plot '" + scratch.file("missing.csv") + "'", scratch).status, 2);
    const std::string bad = scratch.file("bad.csv");
    std::ofstream(bad) << "timestamp,magnitude,angle,frequency,rocof,report_strobe,active_report_rate\n0,1,2,3,4,1,50\n"
                       << "0.1,1,2,x,4,0,50\n";
    const ToolResult refused = runTool("plot '" + bad + "'", scratch);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(bad + ":3:9: 'x' is not a valid frequency"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(scratch.file("bad.html")));

    if (::access("/usr/bin/chromium", X_OK) != 0 || ::access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "chromium or /usr/bin/python3 is not installed: the drawn page is not checked";
    }
    const std::string png = scratch.file("shot.png");
    capture("timeout 90 /usr/bin/chromium --headless --no-sandbox --disable-gpu --screenshot='" + png +
            "' --window-size=1200,900 'file://" + page + "' 2>/dev/null");
    ASSERT_TRUE(std::filesystem::exists(png)) << "chromium wrote no screenshot";
    // Rows of the screenshot that hold the run's colour, in bands: one per
    // panel (the key's swatch is a band of its own).
    const std::string said = capture(
        "/usr/bin/python3 -c \"import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
        "w, h = im.size\npx = im.load()\nrows = [y for y in range(h) if sum(1 for x in range(0, w, 2) "
        "if abs(px[x, y][0] - 31) + abs(px[x, y][1] - 119) + abs(px[x, y][2] - 180) < 60) > 3]\n"
        "bands = sum(1 for i, y in enumerate(rows) if i == 0 or y - rows[i - 1] > 12)\nprint(bands)\" '" +
        png + "' 2>&1");
    EXPECT_GE(std::atoi(said.c_str()), 5) << said;
}

}  // namespace
