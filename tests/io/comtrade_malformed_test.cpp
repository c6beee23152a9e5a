// Malformed recordings: each fault is reported with file, line and field,
// and nothing is returned.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/comtrade/comtrade_writer.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

const std::string kCfg =
    "Bay 1,REC-7,2013\r\n"
    "4,3A,1D\r\n"
    "1,VA,A,Line 1,kV,0.01,0,0,-32767,32767,400,0.1,P\r\n"
    "2,VB,B,Line 1,kV,0.01,0,0,-32767,32767,400,0.1,P\r\n"
    "3,VC,C,Line 1,kV,0.01,0,0,-32767,32767,400,0.1,P\r\n"
    "1,TRIP,,,0\r\n"
    "50\r\n"
    "1\r\n"
    "1000,4\r\n"
    "08/12/2026,10:15:30.250000\r\n"
    "08/12/2026,10:15:30.252000\r\n"
    "ASCII\r\n"
    "1\r\n"
    "0,0\r\n"
    "0,0\r\n";

const std::string kDat =
    "1,0,100,-50,-50,0\r\n"
    "2,1000,90,-40,-50,1\r\n"
    "3,2000,80,-30,-50,0\r\n"
    "4,3000,70,-20,-50,0\r\n";

struct MalformedCase {
    const char* name;
    bool inDat;           // the change applies to the .dat, else the .cfg
    const char* find;     // text to replace (first occurrence)
    const char* replace;  // its replacement
    const char* message;  // expected in the error, after the file name
};

const MalformedCase kCases[] = {
    {"TotalDisagreesWithCounts", false, "4,3A,1D", "5,3A,1D", ".cfg:2: field 1 (TT): 5 channels in total"},
    {"CountWithoutLetter", false, "4,3A,1D", "4,3,1D", ".cfg:2: field 2 (##A): '3' is not a count followed by A"},
    {"AnalogLineShort", false, "400,0.1,P\r\n1,TRIP", "400,0.1\r\n1,TRIP",
     ".cfg:5: the line of analog channel 3 needs 13 comma-separated fields, found 12"},
    {"ScaleNotANumber", false, "2,VB,B,Line 1,kV,0.01", "2,VB,B,Line 1,kV,x", ".cfg:4: field 6 (a): 'x' is not a number"},
    {"ChannelNumberNotANumber", false, "3,VC", "x,VC", ".cfg:5: field 1 (An): 'x' is not a whole number"},
    {"UnknownScalingSide", false, "0.1,P\r\n2,VB", "0.1,Q\r\n2,VB", ".cfg:3: field 13 (PS): 'Q' is neither P nor S"},
    {"RevisionNotAYear", false, "REC-7,2013", "REC-7,20x3", ".cfg:1: field 3 (rev_year): revision year '20x3' is not a year"},
    {"EndSampleGoesBack", false, "1\r\n1000,4\r\n", "2\r\n1000,4\r\n500,3\r\n",
     ".cfg:10: field 2 (endsamp): last sample 3 does not follow the previous section's 4"},
    {"DateDoesNotExist", false, "08/12/2026,10:15:30.25", "31/02/2026,10:15:30.25",
     ".cfg:10: field 1 (date): date '31/02/2026' does not exist"},
    {"DayWithTooManyDigits", false, "08/12/2026,10:15:30.25", "123456789012345678901/12/2026,10:15:30.25",
     ".cfg:10: field 1 (date): date '123456789012345678901/12/2026' is not dd/mm/yyyy"},
    {"SecondsWithTooManyDigits", false, "10:15:30.250000", "10:15:3999999999999999999999.25",
     ".cfg:10: field 2 (time): time '10:15:3999999999999999999999.25' is not hh:mm:ss"},
    {"TimeMalformed", false, "10:15:30.250000", "10:15", ".cfg:10: field 2 (time): time '10:15' is not hh:mm:ss"},
    {"UnknownDataFormat", false, "ASCII", "BINARY16", ".cfg:12: field 1 (ft): unknown data file type 'BINARY16'"},
    {"BadTimeCode", false, "1\r\n0,0\r\n0,0", "1\r\n5x,0\r\n0,0",
     ".cfg:14: field 1 (time_code): '5x' is not a UTC offset"},
    {"MissingLastLine", false, "0,0\r\n0,0\r\n", "0,0\r\n", ".cfg:15: missing line: expected tmq_code,leapsec"},
    {"SampleNumberSkips", true, "3,2000", "5,2000", ".dat:3: field 1 (n): sample number 5 does not follow 2"},
    {"SampleNumberAtTheLimit", true, "1,0,100", "9223372036854775807,0,100",
     ".dat:2: field 1 (n): sample number 2 does not follow 9223372036854775807"},
    {"FieldMissing", true, "2,1000,90,-40,-50,1", "2,1000,90,-40,1", ".dat:2: expected 6 fields"},
    {"ValueNotANumber", true, "2,1000,90", "2,1000,9O", ".dat:2: field 3 (A1 VA): '9O' is not a number"},
    {"StatusNotBinary", true, "-50,1\r\n", "-50,2\r\n", ".dat:2: field 6 (D1 TRIP): status '2' is neither 0 nor 1"},
};

std::string caseName(const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; }

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class MalformedRecording : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRecording, ReportsFileLineAndField) {
    const MalformedCase& c = GetParam();
    ScratchFolder scratch("malformed");
    std::string cfg = kCfg;
    std::string dat = kDat;
    std::string& target = c.inDat ? dat : cfg;
    const std::size_t at = target.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.find;
    target.replace(at, std::string(c.find).size(), c.replace);
    writeText(scratch.file("base.cfg"), cfg);
    writeText(scratch.file("base.dat"), dat);
    try {
        readComtrade(scratch.file("base.cfg"), {});
        FAIL() << "no error for " << c.name;
    } catch (const ComtradeError& e) {
        EXPECT_NE(std::string(e.what()).find(std::string("base") + c.message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedRecording, testing::ValuesIn(kCases), caseName);

TEST(MalformedRecording, TheUntouchedBaseReads) {
    ScratchFolder scratch("base");
    writeText(scratch.file("base.cfg"), kCfg);
    writeText(scratch.file("base.dat"), kDat);
    const ComtradeRecording rec = readComtrade(scratch.file("base.cfg"), {});
    EXPECT_EQ(rec.size(), 4u);
    EXPECT_DOUBLE_EQ(rec.phases[0][1], 0.9);
}

std::string errorOf(const std::string& path, const ComtradeReadOptions& options = {}) {
    try {
        readComtrade(path, options);
    } catch (const ComtradeError& e) {
        return e.what();
    }
    return "";
}

TEST(MalformedBinary, TruncatedRecordIsNamedWithItsByteOffset) {
    ScratchFolder scratch("binary");
    const SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 1000.0, 10);
    const std::string stem = scratch.file("rec");
    ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
    // 8 + 4*2 + 2 = 18 bytes per record; cut the last one short.
    std::filesystem::resize_file(stem + ".dat", 9 * 18 + 5);
    EXPECT_NE(errorOf(stem + ".cfg").find("rec.dat: truncated: record 10 (at byte 162) has 5 of 18 bytes"),
              std::string::npos)
        << errorOf(stem + ".cfg");
}

TEST(MalformedSingleFile, SectionFaultsAreNamed) {
    ScratchFolder scratch("cff");
    const SyntheticRecording r = threePhaseRecording(DataFormat::Float32, 1000.0, 10);
    const std::string path = scratch.file("rec.cff");
    const std::string cfg = formatCfg(r.config);
    const std::string dat = formatDat(r.config, r.data);
    const std::string header = "--- file type: CFG ---\r\n" + cfg;
    struct {
        std::string text;
        const char* message;
    } cases[] = {
        {header + "--- file type: DAT FLOAT32: 999 ---\r\n" + dat, "truncated: the DAT section announces 999 bytes"},
        {header + "--- file type: DAT FLOAT32 ---\r\n" + dat, "a binary DAT section needs its byte count"},
        {header, "no '--- file type: DAT ... ---' section"},
        {header + "--- file type: PICTURE ---\r\n", "rec.cff:19: file type: unknown section type 'PICTURE'"},
        {header + "--- file type: DAT BINARY: " + std::to_string(dat.size()) + " ---\r\n" + dat,
         "the DAT section is BINARY but the configuration says FLOAT32"},
    };
    for (const auto& c : cases) {
        writeText(path, c.text);
        const std::string error = errorOf(path);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(MalformedChoice, PhasesThatCannotBeFoundOrTold) {
    ScratchFolder scratch("choice");
    writeText(scratch.file("base.cfg"), kCfg);
    writeText(scratch.file("base.dat"), kDat);
    const std::string cfg = scratch.file("base.cfg");
    struct {
        std::vector<std::string> phases;
        const char* message;
    } cases[] = {
        {{"VA", "VB", "VX"}, "--phases: no analog channel named 'VX' (channels: 1 'VA' [kV], 2 'VB' [kV], 3 'VC' [kV])"},
        {{"VA", "VB"}, "--phases needs three channels (a,b,c), got 2"},
        {{"1", "2", "9"}, "--phases: no analog channel numbered 9 (channels: 1 to 3)"},
        {{"VA", "1", "VC"}, "--phases names channel '1' twice"},
    };
    for (const auto& c : cases) {
        ComtradeReadOptions options;
        options.phases = c.phases;
        EXPECT_NE(errorOf(cfg, options).find(c.message), std::string::npos) << errorOf(cfg, options);
    }
    EXPECT_NE(errorOf(scratch.file("base.dat")).find("base.dat: this is the data file; give its configuration"),
              std::string::npos);
    std::filesystem::remove(scratch.file("base.dat"));
    EXPECT_NE(errorOf(cfg).find("no data file"), std::string::npos);
}

}  // namespace
