#include "io/csv/csv_sample_source.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::string kHeader = "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode";
// Fields start at columns 1, 5, 7, 9, 11, 14, 16, 18, 20, 22, 24, 26, 29.
const std::string kRow = "0.5,1,2,3,50,0,0,1,0,0,0,50,1";

class CsvSampleSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("orvane_reader_" + std::to_string(getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string write(const std::string& content) {
        const std::string path = (directory_ / "samples.csv").string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Reads every sample; the error text of the first fault, or "".
    std::string readAll(const std::string& path, int* samples = nullptr) {
        std::string error;
        std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error);
        if (!reader) return error;
        ModelInputs in;
        int count = 0;
        SampleSource::Status status;
        while ((status = reader->next(in)) == SampleSource::Status::Sample) ++count;
        if (samples != nullptr) *samples = count;
        return status == SampleSource::Status::Error ? reader->error() : "";
    }

    std::filesystem::path directory_;
};

TEST_F(CsvSampleSourceTest, FaultsNameFileLineAndColumn) {
    struct Case {
        const char* what;
        std::string content;
        std::string place;  // "LINE:COLUMN"
        std::string says;
    };
    const Case cases[] = {
        {"empty file", "", "1:1", "the file is empty"},
        {"wrong header name", "time,va,vb,vc,rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n",
         "1:15", "header column 5 is 'rate', expected 'report_rate'"},
        {"header too short", kHeader.substr(0, kHeader.rfind(',')) + "\n", "1:" + std::to_string(kHeader.rfind(',') + 1),
         "the header has 12 columns"},
        {"header too long", kHeader + ",extra\n", "1:" + std::to_string(kHeader.size() + 2), "more than 13 columns"},
        {"row too short", kHeader + "\n0.5,1,2,3,50,0,0,1,0,0,0,50\n", "2:28", "the row has 12 columns, expected 13"},
        {"row too long", kHeader + "\n" + kRow + ",9\n", "2:31", "more than 13 columns"},
        {"empty row", kHeader + "\n" + kRow + "\n\n" + kRow + "\n", "3:1", "the row has 1 column, expected 13"},
        {"unparsable double", kHeader + "\n0.5,x,2,3,50,0,0,1,0,0,0,50,1\n", "2:5", "va 'x' is not a number"},
        {"trailing text", kHeader + "\n0.5,1,2,3v,50,0,0,1,0,0,0,50,1\n", "2:9", "vc '3v' is not a number"},
        {"empty field", kHeader + "\n0.5,1,2,3,50,0,0,1,0,0,0,,1\n", "2:26", "nominal_frequency '' is not a number"},
        {"report rate above int32", kHeader + "\n0.5,1,2,3,2147483648,0,0,1,0,0,0,50,1\n", "2:11",
         "report_rate '2147483648' is outside the int32 range"},
        {"report rate below int32", kHeader + "\n0.5,1,2,3,-2147483649,0,0,1,0,0,0,50,1\n", "2:11",
         "outside the int32 range"},
        {"report rate not an integer", kHeader + "\n0.5,1,2,3,50.5,0,0,1,0,0,0,50,1\n", "2:11",
         "report_rate '50.5' is not an integer"},
        {"report mode 2", kHeader + "\n0.5,1,2,3,50,0,0,1,0,0,0,50,2\n", "2:29", "report_mode '2' is not 0 or 1"},
        {"report mode text", kHeader + "\n0.5,1,2,3,50,0,0,1,0,0,0,50,true\n", "2:29", "report_mode 'true' is not 0 or 1"},
        {"fault after good rows", kHeader + "\n" + kRow + "\n" + kRow + "\n0.5,1,2,3,50,0,0,1,0,0,0,50,-1\n", "4:29",
         "is not 0 or 1"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.content);
        const std::string error = readAll(path);
        EXPECT_EQ(error.rfind(path + ":" + c.place + ": ", 0), 0u) << c.what << ": " << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    }
}

TEST_F(CsvSampleSourceTest, MissingFileAndDirectoryAreRefused) {
    const std::string missing = (directory_ / "absent.csv").string();
    EXPECT_NE(readAll(missing).find(missing + ": cannot open"), std::string::npos);
    EXPECT_NE(readAll(directory_.string()).find("is a directory"), std::string::npos);
}

TEST_F(CsvSampleSourceTest, ReadsEveryPortOfARow) {
    const std::string path = write(kHeader + "\r\n1000.25,1.5,-2.5,nan,-7,0.1,0.2,0.3,-inf,inf,0.6,60,0\r\n");
    std::string error;
    auto reader = CsvSampleSource::open(path, error);
    ASSERT_TRUE(reader) << error;
    ModelInputs in;
    ASSERT_EQ(reader->next(in), SampleSource::Status::Sample) << reader->error();
    EXPECT_EQ(in.time, 1000.25);
    EXPECT_EQ(in.phase[0], 1.5);
    EXPECT_EQ(in.phase[1], -2.5);
    EXPECT_TRUE(std::isnan(in.phase[2]));
    EXPECT_EQ(in.reportRate, -7);
    EXPECT_EQ(in.magnitudeCoeffs[0], 0.1);
    EXPECT_EQ(in.magnitudeCoeffs[1], 0.2);
    EXPECT_EQ(in.magnitudeCoeffs[2], 0.3);
    EXPECT_EQ(in.phaseCoeffs[0], -INFINITY);
    EXPECT_EQ(in.phaseCoeffs[1], INFINITY);
    EXPECT_EQ(in.phaseCoeffs[2], 0.6);
    EXPECT_EQ(in.nominalFrequency, 60.0);
    EXPECT_FALSE(in.reportMode);
    EXPECT_EQ(reader->next(in), SampleSource::Status::End);
}

TEST_F(CsvSampleSourceTest, AcceptedShapes) {
    struct Case {
        const char* what;
        std::string content;
        int samples;
    };
    const Case cases[] = {
        {"header only", kHeader + "\n", 0},
        {"no final line end", kHeader + "\n" + kRow, 1},
        {"byte-order mark", "\xEF\xBB\xBF" + kHeader + "\n" + kRow + "\n", 1},
        {"several rows", kHeader + "\n" + kRow + "\n" + kRow + "\n" + kRow + "\n", 3},
    };
    for (const Case& c : cases) {
        int samples = -1;
        EXPECT_EQ(readAll(write(c.content), &samples), "") << c.what;
        EXPECT_EQ(samples, c.samples) << c.what;
    }
}

// Time is checked against the build's rate: a file at another rate is
// refused at its first step with the rate found, an uneven step (a lost row)
// with its line; discontinuities of time (standing, backwards, long jumps)
// are the block's business and pass, counted. Missing values are counted.
TEST_F(CsvSampleSourceTest, SampleSpacingAgainstTheBuildRate) {
    auto rows = [](std::initializer_list<double> times) {
        std::string text = kHeader + "\n";
        char row[120];
        for (double t : times) {
            std::snprintf(row, sizeof row, "%.17g,1,2,3,50,0,0,1,0,0,0,50,1\n", t);
            text += row;
        }
        return text;
    };
    const double T = 1e-4, t0 = 1000.0;
    struct Case {
        std::string content;
        std::string error;  // "" when accepted
        uint64_t jumps;
    };
    const Case cases[] = {
        {rows({t0, t0 + T, t0 + 2 * T, t0 + 3 * T}), "", 0},
        {rows({t0, t0 + T, t0 + T, t0 - 1.0, t0 - 1.0 + T, t0 + 0.006, t0 + 0.006 + T}), "", 3},
        {rows({t0, t0 + 1.0 / 4800, t0 + 2.0 / 4800}), ":3:1: the samples are 0.000208333333 s apart (4800 Hz)", 0},
        {rows({t0, t0 + T, t0 + 2 * T, t0 + 4 * T}), ":5:1: uneven sample spacing", 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::string path = write(c.content);
        std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error);
        ASSERT_TRUE(reader) << error;
        reader->expectSampleRate(10000.0);
        ModelInputs in;
        SampleSource::Status status;
        while ((status = reader->next(in)) == SampleSource::Status::Sample) {
        }
        if (c.error.empty()) {
            EXPECT_EQ(status, SampleSource::Status::End) << reader->error();
            EXPECT_EQ(reader->timeJumps(), c.jumps);
        } else {
            EXPECT_NE(reader->error().find(path + c.error), std::string::npos) << reader->error();
        }
    }
    std::string error;
    EXPECT_NEAR(csvSampleRate(write(rows({t0, t0 + 1.0 / 4800})), {}, error).rate, 4800.0, 1e-6) << error;
}

// Off nominal (51.5 Hz), on a time of day: a 2-sample gap is bridged with
// the waveform's measured period, close to the true values and not marked
// (within the bridge's proven span, 20 samples at 10 kHz); a 25-sample gap
// is bridged too, but marks every sample from its 21st until the filters'
// memory has passed (here the end of the file).
TEST_F(CsvSampleSourceTest, MissingValuesAreCountedAndBridgedOnRequest) {
    std::string text = kHeader + "\n";
    char row[200];
    auto wave = [](int k, int p) { return std::sin(2 * M_PI * 51.5 * (80000.37 + k * 1e-4) - p * 2 * M_PI / 3); };
    for (int k = 0; k < 2000; ++k) {
        const bool gap = k == 600 || k == 601 || (k >= 1200 && k < 1225);
        std::string v[3];
        for (int p = 0; p < 3; ++p) v[p] = gap ? "nan" : std::to_string(wave(k, p));
        std::snprintf(row, sizeof row, "%.17g,%s,%s,%s,50,0,0,1,0,0,0,50,1\n", 80000.37 + k * 1e-4, v[0].c_str(),
                      v[1].c_str(), v[2].c_str());
        text += row;
    }
    const std::string path = write(text);
    for (bool bridge : {false, true}) {
        std::string error;
        std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error);
        ASSERT_TRUE(reader) << error;
        reader->expectSampleRate(10000.0);
        if (bridge) reader->bridgeGaps();
        ModelInputs in;
        int marked = 0, nan = 0, firstMarked = -1;
        for (int k = 0; reader->next(in) == SampleSource::Status::Sample; ++k) {
            const bool doNotUse = qualityDoNotUse(reader->sampleQuality());
            if (doNotUse && firstMarked < 0) firstMarked = k;
            marked += doNotUse;
            nan += std::isnan(in.phase[0]);
            // The file's values carry six decimals.
            if (bridge) {
                EXPECT_NEAR(in.phase[1], wave(k, 1), 1e-4) << "row " << k;
            }
        }
        EXPECT_EQ(nan, bridge ? 0 : 27);
        EXPECT_EQ(firstMarked, bridge ? 1220 : -1);
        EXPECT_EQ(marked, bridge ? 2000 - 1220 : 0);
        EXPECT_NE(missingRowsWarning(*reader).find(path + ":602: 27 rows with a missing value"), std::string::npos)
            << missingRowsWarning(*reader);
    }
}

}  // namespace
