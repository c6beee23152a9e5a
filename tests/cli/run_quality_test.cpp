// One quality word per report, the same in every output of a run: the CSV's
// `quality` column, the HDF5 `quality` dataset, the COMTRADE status
// channels and the C37.118.2 STAT of the frame file, at a real time of day.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/c37118/report_framer.h"
#include "io/comtrade/cfg_parser.h"
#include "io/comtrade/comtrade_writer.h"
#include "io/hdf5/hdf5_file.h"
#include "io/report_quality.h"
#include "tests/io/comtrade_fixtures.h"
#include "tests/support/tool_process.h"

namespace {

// 1 s at 10 kHz from 80000.37 s (a time of day), with a gap of 30 missing
// samples at 0.5 s that --bridge-gaps bridges.
void writeSampleCsv(const std::string& path) {
    std::ofstream out(path);
    out << "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n";
    char row[400];
    for (int k = 0; k < 10000; ++k) {
        const double t = 80000.37 + k * 1e-4;
        const double w = 2.0 * 3.141592653589793 * 50.0 * t;
        const bool gap = k >= 5000 && k < 5030;
        if (gap) {
            std::snprintf(row, sizeof row, "%.17g,nan,nan,nan,50,0,0,1,0,0,0,50,1\n", t);
        } else {
            std::snprintf(row, sizeof row, "%.17g,%.17g,%.17g,%.17g,50,0,0,1,0,0,0,50,1\n", t, 100 * std::cos(w),
                          100 * std::cos(w - 2.0943951023931957), 100 * std::cos(w + 2.0943951023931957));
        }
        out << row;
    }
}

std::vector<int> csvWords(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(line.rfind(',') + 1), "quality");
    std::vector<int> words;
    while (std::getline(in, line)) words.push_back(std::stoi(line.substr(line.rfind(',') + 1)));
    return words;
}

std::vector<int> hdf5Words(const std::string& path) {
    Hdf5File file;
    std::string error;
    uint64_t n = 0;
    EXPECT_TRUE(file.openForReading(path, error) && file.length("quality", n, error)) << error;
    std::vector<double> values(n);
    EXPECT_TRUE(file.read("quality", 0, n, values.data(), error)) << error;
    return std::vector<int>(values.begin(), values.end());
}

// FLOAT32 records: number, stamp, four analogs, one word of status bits:
// do not use, then the word's bits.
std::vector<int> comtradeWords(const std::string& cfgPath, const std::string& datPath) {
    const ComtradeConfig config = parseCfg(readWholeFile(cfgPath), cfgPath);
    EXPECT_EQ(config.digitals.size(), 1u + kQualityBitCount);
    const std::string dat = readWholeFile(datPath);
    std::vector<int> words;
    for (std::size_t at = 0; at + 26 <= dat.size(); at += 26) {
        const unsigned bits = static_cast<uint8_t>(dat[at + 24]) | (static_cast<uint8_t>(dat[at + 25]) << 8);
        EXPECT_EQ((bits & 1u) != 0, qualityDoNotUse(static_cast<ReportQuality>(bits >> 1))) << "record " << words.size();
        words.push_back(static_cast<int>(bits >> 1));
    }
    return words;
}

std::vector<uint16_t> frameStats(const std::string& path) {
    const std::string bytes = readWholeFile(path);
    FrameAssembler frames;
    frames.append(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::vector<uint8_t> frame;
    FrameHeader header;
    ConfigFrame config;
    std::vector<uint16_t> stats;
    std::string error;
    while (frames.next(frame, header) == FrameAssembler::Result::Frame) {
        if (header.type == FrameType::Config2) {
            EXPECT_TRUE(decodeConfigFrame(frame, config, error)) << error;
        } else if (header.type == FrameType::Data) {
            DataFrame data;
            EXPECT_TRUE(decodeDataFrame(frame, config, data, error)) << error;
            stats.push_back(data.pmus[0].stat);
        }
    }
    return stats;
}

}  // namespace

TEST(RunQuality, EveryOutputCarriesTheSameWordAtARealTime) {
    ScratchDirectory scratch("quality");
    const std::string input = scratch.file("in.csv");
    writeSampleCsv(input);
    const std::string run = "run --input '" + input + "' --bridge-gaps --reports-only ";
    ASSERT_EQ(runTool(run + "--quality --output '" + scratch.file("q.csv") + "' --c37118 '" +
                          scratch.file("q.c37") + "'",
                      scratch)
                  .status,
              0);
    ASSERT_EQ(runTool(run + "--output '" + scratch.file("q.h5") + "'", scratch).status, 0);
    ASSERT_EQ(runTool(run + "--output '" + scratch.file("q.cfg") + "'", scratch).status, 0);

    const std::vector<int> words = csvWords(scratch.file("q.csv"));
    ASSERT_EQ(words.size(), 50u);
    EXPECT_EQ(hdf5Words(scratch.file("q.h5")), words);
    EXPECT_EQ(comtradeWords(scratch.file("q.cfg"), scratch.file("q.dat")), words);
    const std::vector<uint16_t> stats = frameStats(scratch.file("q.c37"));
    ASSERT_EQ(stats.size(), words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(stats[i], statWithQuality(0, static_cast<ReportQuality>(words[i]))) << "report " << i;
    }
    // The first reports (the very first one an instant before the first
    // sample) are start-up values; the gap's reports rest on it; the rest
    // are clean.
    EXPECT_TRUE(words[0] & kQualityStartUp);
    EXPECT_TRUE(words[5] & kQualityStartUp);
    EXPECT_EQ(words[7], 0);
    EXPECT_NE(words[26] & (kQualityBridged | kQualityMissing), 0);
    EXPECT_EQ(words[40], 0);

    // The plot page of either file draws the flagged reports apart.
    std::size_t doNotUse = 0;
    for (int w : words) doNotUse += qualityDoNotUse(static_cast<ReportQuality>(w));
    for (const char* file : {"q.csv", "q.h5"}) {
        const std::string page = scratch.file(std::string(file) + ".html");
        ASSERT_EQ(runTool("plot '" + scratch.file(file) + "' --output '" + page + "'", scratch).status, 0) << file;
        EXPECT_NE(readWholeFile(page).find("\"flagged_reports\":" + std::to_string(doNotUse) + ","),
                  std::string::npos)
            << file;
    }
}

// A recorder whose clock says it was not locked (time quality code F): every
// report of it says unsynchronised, in the files as in STAT; a locked one's
// reports do not.
TEST(RunQuality, AnUnlockedRecordersClockIsToldInEveryReport) {
    ScratchDirectory scratch("unlocked");
    for (const int code : {0xF, 0}) {
        SyntheticRecording r = threePhaseRecording(DataFormat::Ascii, 4000.0, 4000);
        r.config.timeQuality = code;
        const std::string stem = scratch.file("rec" + std::to_string(code));
        ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
        const std::string csv = stem + ".csv";
        ASSERT_EQ(runTool("run --comtrade '" + stem + ".cfg' --reports-only --quality --output '" + csv + "'", scratch)
                      .status,
                  0);
        const std::vector<int> words = csvWords(csv);
        ASSERT_FALSE(words.empty());
        for (const int w : words) EXPECT_EQ((w & kQualityUnsynchronised) != 0, code == 0xF) << "code " << code;
    }
}
