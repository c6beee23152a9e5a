// Recordings as recorders in the field write them: each departure from the
// standard is read, with one warning line naming file and line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"

namespace {

// Three voltages (1200 Hz, 240 samples) and two status channels.
const std::string kCfg =
    "Bay,Rec,1999\n5,3A,2D\n"
    "1,VA,A,,kV,0.01,0,0,-32767,32767,400,0.1,P\n"
    "2,VB,B,,kV,0.01,0,0,-32767,32767,400,0.1,P\n"
    "3,VC,C,,kV,0.01,0,0,-32767,32767,400,0.1,P\n"
    "1,TRIP,,,0\n2,CB,,,1\n50\n1\n1200,240\n"
    "08/12/2026,10:15:30.250000\n08/12/2026,10:15:30.300000\nASCII\n1\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Raw values of channel c at sample i: 100 kV peak, 50 Hz, 120 degrees apart.
double raw(int c, int i, double rate) {
    return std::round(10000.0 * std::cos(2 * M_PI * 50.0 * i / rate - 2 * M_PI * c / 3.0));
}

std::string dat(int samples, double rate) {
    std::string text;
    for (int i = 0; i < samples; ++i) {
        text += std::to_string(i + 1) + "," + std::to_string(static_cast<long long>(i * 1e6 / rate));
        for (int c = 0; c < 3; ++c) text += "," + std::to_string(static_cast<long long>(raw(c, i, rate)));
        text += ",0,1\n";
    }
    return text;
}

TEST(ComtradeQuirks, DeparturesAreReadWithOneWarningEach) {
    struct Case {
        const char* what;
        std::function<std::string(std::string)> edit;
        std::string warning;  // after "FILE:", empty for none
        std::function<void(const ComtradeRecording&)> check;
        bool inData = false;  // the warning names the .dat
    };
    const Case cases[] = {
        {"a status line short of fields", [](std::string t) { return replaced(t, "1,TRIP,,,0", "1,TRIP"); },
         "6: status channel 1 has 2 fields where the revision asks 5; read, the missing ones blank",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.config.digitals[0].id, "TRIP"); }},
        {"more samples than the last endsamp", [](std::string t) { return replaced(t, "1200,240", "1200,200"); },
         "200: the data holds 240 samples, more than the configuration's last endsamp (200): the declared 200 are "
         "read, 40 left unread",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.samples, 200u); }, true},
        {"fewer samples than the last endsamp", [](std::string t) { return replaced(t, "1200,240", "1200,300"); },
         "240: the data holds 240 samples, fewer than the configuration's last endsamp (300): the 240 there are read",
         [](const ComtradeRecording& r) {
             EXPECT_EQ(r.samples, 240u);
             EXPECT_EQ(r.sections.back().count, 240u);
             EXPECT_NEAR(r.phases[0][239], raw(0, 239, 1200) * 0.01, 1e-9);
         },
         true},
        {"revision 1997 in the 1999 layout", [](std::string t) { return replaced(t, "1999", "1997"); },
         "1: revision year '1997' is not 1991, 1999 or 2013; read by the layout the file has, that of 1999",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.config.revision, 1999); }},
        {"numbers as labels, status numbered on",
         [](std::string t) {
             return replaced(replaced(replaced(t, "2,VB", "5,VB"), "1,VA", "3,VA"), "1,TRIP", "8,TRIP");
         },
         "3: channel number 3 where 1 was expected",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.config.analogs[1].number, 5); }},
        {"blanks around fields", [](std::string t) { return replaced(replaced(t, "ASCII", " ASCII  "), "2,VB", "2 , VB"); },
         "4: blanks around fields; trimmed", [](const ComtradeRecording& r) { EXPECT_EQ(r.config.analogs[1].id, "VB"); }},
        {"a legacy code page", [](std::string t) { return replaced(t, "Bay", "Bl\xe5" "b\xe6r"); },
         "1: text that is not UTF-8",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.config.station, "Bl\xe5" "b\xe6r"); }},
        {"a trigger time of 1970",
         [](std::string t) { return replaced(t, "08/12/2026,10:15:30.300000", "01/01/1970,00:00:00.000000"); },
         "12: the trigger time lies before the first sample or in 1970; ignored",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.config.trigger.year, 2026); }},
        {"600 Hz", [](std::string t) { return replaced(t, "1200,240", "600,240"); }, "",
         [](const ComtradeRecording& r) { EXPECT_EQ(r.maxRate(), 600.0); }},
        {"line-to-line voltages found by name",
         [](std::string t) { return replaced(replaced(replaced(t, "VA,A", "VAB,"), "VB,B", "Ubc,"), "VC,C", "C-A,"); },
         "",
         [](const ComtradeRecording& r) {
             ASSERT_TRUE(r.lineToLine);
             EXPECT_NEAR(r.phases[0][7], (raw(0, 7, 1200) - raw(2, 7, 1200)) * 0.01 / 3, 1e-9);
         }},
        {"two line-to-line voltages and a zero sequence",
         [](std::string t) { return replaced(replaced(replaced(t, "VA,A", "A-B,"), "VB,B", "B-C,"), "VC,C", "V0,N"); },
         "",
         [](const ComtradeRecording& r) {
             ASSERT_TRUE(r.lineToLine);
             EXPECT_EQ(r.phaseChannels[2], -1);
             const double ab = raw(0, 7, 1200), bc = raw(1, 7, 1200);
             EXPECT_NEAR(r.phases[0][7], (ab + ab + bc) * 0.01 / 3, 1e-9);
             EXPECT_NEAR(r.phases[0][7] + r.phases[1][7] + r.phases[2][7], 0.0, 1e-9);
         }},
    };
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orvane_quirks_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const Case& c : cases) {
        const std::string cfg = (dir / "r.cfg").string();
        const std::string text = c.edit(kCfg);
        std::ofstream(cfg, std::ios::binary) << text;
        std::ofstream((dir / "r.dat").string(), std::ios::binary)
            << dat(240, text.find("600,240") != std::string::npos ? 600.0 : 1200.0);
        try {
            const ComtradeRecording r = readComtrade(cfg, {});
            if (c.warning.empty()) {
                EXPECT_TRUE(r.config.warnings.empty()) << c.what << ": " << r.config.warnings.front();
            } else {
                ASSERT_EQ(r.config.warnings.size(), 1u) << c.what << ": " << r.config.warnings.front();
                const std::string file = c.inData ? (dir / "r.dat").string() : cfg;
                EXPECT_EQ(r.config.warnings[0].rfind("warning: " + file + ":" + c.warning, 0), 0u)
                    << c.what << ": " << r.config.warnings[0];
            }
            c.check(r);
        } catch (const ComtradeError& e) {
            ADD_FAILURE() << c.what << ": " << e.what();
        }
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
